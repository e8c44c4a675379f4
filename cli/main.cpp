// tavrin FILE...: S98 and VGM files to text reports (or JSON Lines, or a check listing), logged as the window does.
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
#include "engine/file_io.h"
#include "engine/paths.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#include <cstdlib>
#endif

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

// --check: every FILE in argument order, all findings in one listing (standard output or OUT), written
// like a report through a temporary file. True when every file is clean.
bool RunChecks(const std::vector<std::string>& files, const std::string& output, bool skipVersionCheck) {
  const std::filesystem::path target =
      output.empty() ? std::filesystem::path("-") : tavrin::PathFromArgument(output);
  for (const auto& f : files) {
    const std::filesystem::path input = tavrin::PathFromArgument(f);
    if (target != "-" && (target == input || tavrin::IsSameFile(input, target))) {
      std::fprintf(stderr, "%s\n-> %s\n", f.c_str(), std::string(tavrin::kStatusSameFile).c_str());
      return false;
    }
  }
  tavrin::ReportFile listing;
  if (!listing.Open(target)) {
    std::fprintf(stderr, "%s\n-> %s\n", target.string().c_str(),
                 std::string(tavrin::kStatusOutputOpenError).c_str());
    return false;
  }
  tavrin::ReportSink sink(listing);
  bool clean = true;
  for (const auto& f : files) {
    std::vector<tavrin::CheckFinding> findings;
    const std::string status = tavrin::CheckS98File(tavrin::PathFromArgument(f), skipVersionCheck, findings);
    tavrin::WriteCheckLines(sink, f, status, findings);
    clean = clean && status.empty() && findings.empty();
  }
  const bool flushed = sink.Flush();
  if (!listing.Commit() || !flushed) {
    std::fprintf(stderr, "%s\n-> %s\n", target.string().c_str(),
                 std::string(tavrin::kStatusWriteError).c_str());
    return false;
  }
  return clean;
}

// --voices-dir: after the conversions, the patch files of every FILE that converted. A FILE whose
// files cannot be written is logged as "NAME" and "-> voices: REASON"; true when none failed.
bool WriteVoiceFiles(const std::vector<Job>& jobs, const tavrin::ConversionOptions& options,
                     const std::string& dir, std::FILE* log) {
  const std::filesystem::path folder = tavrin::PathFromArgument(dir);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  bool allOk = true;
  for (const Job& job : jobs) {
    if (!job.status.empty()) continue;
    std::vector<std::string> written;
    std::string status = std::filesystem::is_directory(folder, error)
                             ? tavrin::WriteS98VoiceFiles(job.input, folder, options, written)
                             : std::string(tavrin::kStatusOutputOpenError);
    if (status.empty()) continue;
    const std::string name = std::filesystem::path(tavrin::FileNamePart(job.input)).string();
    std::fprintf(log, "%s\n-> voices: %s\n", name.c_str(), status.c_str());
    allOk = false;
  }
  std::fflush(log);
  return allOk;
}

// WHEN of --from/--to, or a usage error that says what was expected.
tavrin::DumpPoint ParsePoint(const std::string& option, const std::string& text) {
  const auto point = tavrin::ParseDumpPoint(text);
  if (!point) {
    throw CLI::ValidationError(option, std::string(tavrin::kDumpPointExpected) + ", not \"" + text + "\"");
  }
  return *point;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Converts S98 and VGM sound logs (VGM also gzip-compressed, .vgz; the format is told by the\n"
      "content) into text reports. Each FILE's report is written beside it, with the\n"
      "extension replaced by .txt. For each FILE two lines are printed: its name, then \"-> ok\" or\n"
      "\"-> \" and the reason it failed.",
      "tavrin"};
  app.set_version_flag("--version", "tavrin " TAVRIN_VERSION);
  app.footer(
      "WHEN is a time in seconds of the file's own timer (83.5, 1:23.456, 0:01:23.456), a tick count\n"
      "(1200t; a VGM tick is one sample at 44,100 per second) or a file offset (0x1a2b). A command's time and tick count are those of the waits before it.\n"
      "Exit status: 0 when every file converted (with --check: when no file has a finding), 1 when any\n"
      "failed, 2 for a usage error.\n"
      "Example: tavrin -v song.s98   (writes song.txt with every register write annotated)\n"
      "         tavrin -v --from 1:20 --to 1:25 --device 1 song.s98   (only device #01, 1:20 up to 1:25)");

  bool verbose = false;
  bool skipVersionCheck = false;
  bool notes = false;
  std::string output;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> files;
  std::string from;
  std::string to;
  std::string deviceList;
  bool tags = false;
  bool stats = false;
  bool json = false;
  bool check = false;
  bool voices = false;
  bool voicesOnly = false;
  std::string voicesDir;
  auto* verboseOption =
      app.add_flag("-v,--verbose", verbose, "Annotate every register write with what it does to the chip");
  app.add_flag("-f,--force", skipVersionCheck, "Do not check the S98 format version (accept any version byte)");
  auto* notesOption = app.add_flag(
      "--notes", notes,
      "Like -v, and after each write that sets a pitch append \" => \" with the note and its frequency");
  app.add_option("-o,--output", output,
                 "Write the report of the one FILE to OUT instead of beside it (- for standard output);\n"
                 "with --check, the listing of every FILE")
      ->type_name("OUT");
  app.add_option("-j,--jobs", jobs, "Convert up to N files at once (default: the number of cores)")
      ->check(CLI::Range(1u, 1024u));
  auto* fromOption = app.add_option("--from", from,
                                    "Write only the dump lines of commands at or after WHEN; the header and\n"
                                    "the device list stay whole, annotations read as in the whole report");
  fromOption->type_name("WHEN");
  auto* toOption =
      app.add_option("--to", to, "Write only the dump lines of commands before WHEN (not included)");
  toOption->type_name("WHEN");
  auto* deviceOption =
      app.add_option("--device", deviceList,
                     "Write only the register writes of these devices, numbered as the dump\n"
                     "shows them (--device 0,2 for #00 and #02); wait, loop and end lines stay");
  deviceOption->type_name("LIST");
  auto* tagsOption =
      app.add_flag("--tags", tags, "Add a section \"[ S98 Tag ]\" with the file's tag block in UTF-8\n"
                                      "(VGM: \"[ GD3 Tag ]\", English and Japanese fields)");
  auto* statsOption = app.add_flag("--stats", stats,
                                   "Add a section \"[ Statistics ]\": commands, writes per device and port,\n"
                                   "waits, duration, loop, key-on events per channel, registers written");
  auto* jsonOption = app.add_flag("--json", json,
                                  "Write JSON Lines instead of the text report, beside FILE as .jsonl\n"
                                  "(or to OUT): the head, then one object per command");
  // FM voices: the section, the section alone, the patch files.
  auto* voicesOption = app.add_flag("--voices", voices,
                                    "Add a section \"[ Voices ]\": each distinct FM voice keyed (@0, @1, ... per\n"
                                    "chip family) as a parameter table, with the devices, channels, key-ons\n"
                                    "and first and last time that use it");
  auto* voicesOnlyOption = app.add_flag("--voices-only", voicesOnly,
                                        "Like --voices, without the dump lines: the header sections, then the voices");
  auto* voicesDirOption =
      app.add_option("--voices-dir", voicesDir,
                     "Also write the voices of each FILE into DIR as patch files: FILE.opm (VOPM bank),\n"
                     "FILE.mml (PMD and MXDRV voice definitions), FILE_OPN@N.tfi, FILE_OPL@N.sbi");
  voicesDirOption->type_name("DIR");
  app.add_flag("--check", check,
               "Write no report: list what a player may trip on in each FILE, one line per\n"
               "finding with its offset, to standard output (or OUT); exit 1 if any is found");
  // --state-at / --state-only: register state snapshots.
  std::vector<std::string> stateAt;
  bool stateOnly = false;
  auto* stateAtOption = app.add_option("--state-at", stateAt,
                                       "Add a section \"[ Chip State at ... ]\": every chip's registers after all\n"
                                       "commands before WHEN (or loop, or end), decoded per channel and as the\n"
                                       "value last written to each address; may be given several times");
  stateAtOption->type_name("WHEN")->allow_extra_args(false);
  auto* stateOnlyOption =
      app.add_flag("--state-only", stateOnly, "With --state-at: leave out the dump section")->needs(stateAtOption);
  app.add_option("FILE", files, "S98, VGM or VGZ files to convert")->required();

#ifdef _WIN32
  // Windows gives main its arguments in the ANSI code page, which cannot spell every file name: take
  // the UTF-16 command line instead and hand it on as UTF-8, which tavrin::PathFromArgument reads back.
  std::vector<std::string> utf8Arguments;
  std::vector<char*> utf8Argv;
  if (int count = 0; wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) {
      const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string& arg = utf8Arguments.emplace_back(static_cast<std::size_t>(size > 1 ? size : 1), '\0');
      if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
      arg.pop_back();  // the terminating NUL that the conversion counts
    }
    ::LocalFree(wide);
    for (std::string& arg : utf8Arguments) utf8Argv.push_back(arg.data());
    utf8Argv.push_back(nullptr);
    argc = count;
    argv = utf8Argv.data();
  }
  // Options are spelt with '-' as everywhere else; "/music/a.s98" is a file, not an option "/music".
  app.allow_windows_style_options(false);
  // The log names the files in UTF-8 as well; the console shows them so until the program ends.
  static const UINT consoleCodePage = ::GetConsoleOutputCP();
  if (consoleCodePage != 0 && consoleCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
    std::atexit([] { ::SetConsoleOutputCP(consoleCodePage); });
  }
#endif
  tavrin::DumpSelection selection;
  std::vector<tavrin::StatePoint> statePoints;
  try {
    app.parse(argc, argv);
    if (check) {
      const CLI::Option* reportOptions[] = {verboseOption, notesOption,  fromOption,       toOption,
                                            deviceOption,  tagsOption,   statsOption,      jsonOption,
                                            voicesOption,  voicesOnlyOption, voicesDirOption, stateAtOption, stateOnlyOption};
      for (const CLI::Option* other : reportOptions) {
        if (other->count() > 0) {
          throw CLI::ValidationError("--check",
                                     "writes no report, so it cannot be combined with " + other->get_name());
        }
      }
    }
    if (!output.empty() && files.size() != 1 && !check) {
      throw CLI::ValidationError("-o", "takes exactly one FILE (any number with --check)");
    }
    if (fromOption->count() > 0) selection.from = ParsePoint("--from", from);
    if (toOption->count() > 0) selection.to = ParsePoint("--to", to);
    if (deviceOption->count() > 0) {
      if (!tavrin::ParseDeviceList(deviceList, selection.devices)) {
        throw CLI::ValidationError("--device",
                                   std::string(tavrin::kDeviceListExpected) + ", not \"" + deviceList + "\"");
      }
      selection.deviceFilter = true;
    }
    for (const std::string& text : stateAt) {
      const auto point = tavrin::ParseStatePoint(text);
      if (!point) {
        throw CLI::ValidationError("--state-at", std::string(tavrin::kStatePointExpected) + ", not \"" + text + "\"");
      }
      statePoints.push_back(*point);
    }
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (check) return RunChecks(files, output, skipVersionCheck) ? 0 : 1;

  std::vector<Job> batch;
  for (const auto& f : files) {
    Job job;
    job.input = tavrin::PathFromArgument(f);
    if (!output.empty()) {
      job.output = tavrin::PathFromArgument(output);
    } else {
      job.output = json ? tavrin::JsonLinesPathFor(job.input) : tavrin::ReportPathFor(job.input);
    }
    batch.push_back(std::move(job));
  }
  std::FILE* log = output == "-" ? stderr : stdout;
  const tavrin::ConversionOptions options{
      .verbose = verbose || notes,
      .skipVersionCheck = skipVersionCheck,
      .notes = notes,
      .selection = selection,
      .tags = tags,
      .stats = stats,
      .voices = voices,
      .voicesOnly = voicesOnly,
      .stateAt = statePoints,
      .stateOnly = stateOnly,
      .format = json ? tavrin::ReportFormat::JsonLines : tavrin::ReportFormat::Text};
  const bool converted = RunJobs(batch, options, jobs, log);
  const bool patched = voicesDir.empty() || WriteVoiceFiles(batch, options, voicesDir, log);
  return converted && patched ? 0 : 1;
}
