// tavrin FILE...: converts S98 files to text reports beside them and logs each outcome as the window does.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/convert.h"
#include "engine/paths.h"

namespace {

struct Job {
  std::filesystem::path input;
  std::filesystem::path output;
  std::string status;
  bool done = false;
};

// The two log lines of one file, written together.
void PrintOutcome(std::FILE* log, const Job& job) {
  const std::string name = std::filesystem::path(tavrin::FileNamePart(job.input)).string();
  std::fprintf(log, "%s\n-> %s\n", name.c_str(), job.status.empty() ? "ok" : job.status.c_str());
  std::fflush(log);
}

// Converts on `workers` threads; each conversion owns its state, so they need no lock between them.
// Outcomes are printed in the order of the arguments as soon as every earlier one is known.
bool RunJobs(std::vector<Job>& jobs, const tavrin::ConversionOptions& options, unsigned workers, std::FILE* log) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      std::string status = tavrin::ConvertS98File(jobs[i].input, jobs[i].output, options);
      std::lock_guard lock(mutex);
      jobs[i].status = std::move(status);
      jobs[i].done = true;
      finished.notify_all();
    }
  };
  // One job or one worker: convert on this thread. Otherwise this thread only prints, in order.
  std::vector<std::thread> threads;
  const unsigned count = std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(jobs.size())));
  if (count == 1) {
    work();
  } else {
    for (unsigned t = 0; t < count; ++t) threads.emplace_back(work);
  }

  bool allOk = true;
  for (const Job& job : jobs) {
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return job.done; });
    lock.unlock();
    PrintOutcome(log, job);
    allOk = allOk && job.status.empty();
  }
  for (auto& t : threads) t.join();
  return allOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Converts S98 sound logs into text reports. Each FILE's report is written beside it, with the\n"
      "extension replaced by .txt. For each FILE two lines are printed: its name, then \"-> ok\" or\n"
      "\"-> \" and the reason it failed.",
      "tavrin"};
  app.set_version_flag("--version", "tavrin " TAVRIN_VERSION);
  app.footer(
      "Exit status: 0 when every file converted, 1 when any failed, 2 for a usage error.\n"
      "Example: tavrin -v song.s98   (writes song.txt with every register write annotated)");

  bool verbose = false;
  bool skipVersionCheck = false;
  bool notes = false;
  std::string output;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> files;
  app.add_flag("-v,--verbose", verbose, "Annotate every register write with what it does to the chip");
  app.add_flag("-f,--force", skipVersionCheck, "Do not check the S98 format version (accept any version byte)");
  app.add_flag("--notes", notes,
               "Like -v, and after each write that sets a pitch append \" => \" with the note and its frequency");
  app.add_option("-o,--output", output, "Write the report of the one FILE to OUT instead of beside it (- for standard output)");
  app.add_option("-j,--jobs", jobs, "Convert up to N files at once (default: the number of cores)")
      ->check(CLI::Range(1u, 1024u));
  app.add_option("FILE", files, "S98 files to convert")->required();

  try {
    app.parse(argc, argv);
    if (!output.empty() && files.size() != 1) throw CLI::ValidationError("-o", "takes exactly one FILE");
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  std::vector<Job> batch;
  for (const auto& f : files) {
    Job job;
    job.input = f;
    job.output = output.empty() ? tavrin::ReportPathFor(job.input) : std::filesystem::path(output);
    batch.push_back(std::move(job));
  }
  std::FILE* log = output == "-" ? stderr : stdout;
  const tavrin::ConversionOptions options{.verbose = verbose || notes, .skipVersionCheck = skipVersionCheck, .notes = notes};
  return RunJobs(batch, options, jobs, log) ? 0 : 1;
}
