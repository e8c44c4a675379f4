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
#include <tuple>
#include <vector>

#include "cli/batch.h"
#include "cli/guards.h"
#include "cli/help.h"
#include "cli/progress.h"
#include "engine/convert.h"
#include "engine/file_io.h"
#include "engine/paths.h"
#include "engine/process_guard.h"
#include "report/roll.h"

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
  std::string name;    // as the log shows it
  std::string status;  // before the run: a refusal that stands instead of converting; after: the outcome
  std::string notice;  // a conversion that selected nothing says so here
  bool done = false;
};

// Converts on `workers` threads; each conversion owns its state, so they need no lock between them.
// Outcomes are logged in the order of the arguments as soon as every earlier one is known.
bool RunJobs(std::vector<Job>& jobs, const tavrin::ConversionOptions& options, unsigned workers,
             tavrin::cli::BatchLog& log, tavrin::cli::ProgressLine& progress) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      std::string status = jobs[i].status;
      if (status.empty()) {
        tavrin::ConversionOptions fileOptions = options;
        fileOptions.bytesRead = &progress.File(i).bytesRead;
        fileOptions.notice = &jobs[i].notice;
        // Several files: -j alone decides how many cores the batch takes (-j 1 means one), and a
        // writer thread beside each conversion would only add its cost.
        fileOptions.writerThread = jobs.size() <= 1;
        status = tavrin::ConvertS98File(jobs[i].input, jobs[i].output, fileOptions);
      }
      progress.File(i).done.store(true, std::memory_order_release);
      std::lock_guard lock(mutex);
      jobs[i].status = std::move(status);
      jobs[i].done = true;
      finished.notify_all();
    }
  };
  // One job: convert on this thread. Otherwise this thread only prints, in order, so that even with
  // one worker each outcome shows as soon as it is known.
  std::vector<std::thread> threads;
  const unsigned count = std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(jobs.size())));
  if (jobs.size() <= 1) {
    work();
  } else {
    for (unsigned t = 0; t < count; ++t) threads.emplace_back(work);
  }

  bool allOk = true;
  for (const Job& job : jobs) {
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return job.done; });
    lock.unlock();
    log.Outcome(job.name, job.status);
    // A warning, not a failure: the report is written, and says as much by its empty dump.
    if (job.status.empty() && !job.notice.empty()) {
      std::fprintf(stderr, "tavrin: %s: %s\n", job.name.c_str(), job.notice.c_str());
    }
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
      std::fprintf(stderr, "%s\n-> %s\n", tavrin::PrintableName(f).c_str(),
                   std::string(tavrin::kStatusSameFile).c_str());
      return false;
    }
  }
  tavrin::ReportFile listing;
  if (!listing.Open(target)) {
    std::fprintf(stderr, "%s\n-> %s\n", tavrin::cli::LogName(target).c_str(),
                 std::string(tavrin::kStatusOutputOpenError).c_str());
    return false;
  }
  tavrin::ReportSink sink(listing);
  std::size_t clean = 0, withFindings = 0, refused = 0, findingsInAll = 0;
  for (const auto& f : files) {
    std::vector<tavrin::CheckFinding> findings;
    const std::string status = tavrin::CheckS98File(tavrin::PathFromArgument(f), skipVersionCheck, findings);
    tavrin::WriteCheckLines(sink, tavrin::PrintableName(f), status, findings);
    if (!status.empty()) {
      ++refused;
    } else if (!findings.empty()) {
      ++withFindings;
      findingsInAll += findings.size();
    } else {
      ++clean;
    }
  }
  if (const std::string status = tavrin::CommitStatus(listing, sink.Flush()); !status.empty()) {
    std::fprintf(stderr, "%s\n-> %s\n", tavrin::cli::LogName(target).c_str(), status.c_str());
    return false;
  }
  // The listing holds only findings; how the run went is said once, beside it.
  std::fprintf(stderr, "%zu %s checked: %zu clean, %zu with findings (%zu in all), %zu refused\n", files.size(),
               files.size() == 1 ? "file" : "files", clean, withFindings, findingsInAll, refused);
  return clean == files.size();
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
    std::fprintf(log, "%s\n-> voices: %s\n", job.name.c_str(), status.c_str());
    allOk = false;
  }
  std::fflush(log);
  return allOk;
}

// --midi / --roll: instead of reports, the notes as played of every FILE as a MIDI file or a piano
// roll (beside FILE, or OUT). Logged as the conversions are, with one line per channel that played.
bool WriteMusicFiles(const std::vector<std::string>& files, const std::string& output, bool midi, bool roll,
                     double rollScale, const tavrin::ConversionOptions& options, std::FILE* log) {
  bool allOk = true;
  for (const auto& f : files) {
    const std::filesystem::path input = tavrin::PathFromArgument(f);
    const std::string name = tavrin::cli::LogName(tavrin::FileNamePart(input));
    for (const auto& [wanted, kind, extension] : {std::tuple{midi, tavrin::MusicFile::Midi, ".mid"},
                                                  std::tuple{roll, tavrin::MusicFile::Roll, ".svg"}}) {
      if (!wanted) continue;
      const std::filesystem::path target =
          output.empty() ? tavrin::ReportPathWithExtension(input, extension) : tavrin::PathFromArgument(output);
      std::string summary;
      const std::string status = tavrin::WriteS98Music(input, target, kind, options, rollScale, summary);
      std::fprintf(log, "%s\n-> %s\n", name.c_str(), status.empty() ? "ok" : status.c_str());
      if (kind == tavrin::MusicFile::Midi || !midi) {
        for (std::size_t at = 0, next; at < summary.size(); at = next + 1) {
          next = summary.find('\n', at);
          std::fprintf(log, "   %s\n", summary.substr(at, next - at).c_str());
        }
      }
      allOk = allOk && status.empty();
    }
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
  tavrin::GuardStandardDescriptors();
  tavrin::RemoveTemporaryReportsOnSignals();
  CLI::App app{"", "tavrin"};
  tavrin::cli::UseWrittenHelp(app);
  app.set_version_flag("--version", "tavrin " TAVRIN_VERSION);

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
  std::vector<std::string> stateAt;
  bool stateOnly = false;
  bool quiet = false;
  bool recursive = false;
  std::string progressText = "auto";
  // What each option does is told by cli/help.cpp's text.
  auto* verboseOption = app.add_flag("-v,--verbose", verbose);
  app.add_flag("-f,--force", skipVersionCheck);
  auto* notesOption = app.add_flag("--notes", notes);
  auto* outputOption = app.add_option("-o,--output", output);
  app.add_option("-j,--jobs", jobs)->check(CLI::Range(1u, 1024u));
  auto* fromOption = app.add_option("--from", from);
  auto* toOption = app.add_option("--to", to);
  auto* deviceOption = app.add_option("--device", deviceList);
  auto* tagsOption = app.add_flag("--tags", tags);
  auto* statsOption = app.add_flag("--stats", stats);
  auto* jsonOption = app.add_flag("--json", json);
  auto* voicesOption = app.add_flag("--voices", voices);
  auto* voicesOnlyOption = app.add_flag("--voices-only", voicesOnly);
  auto* voicesDirOption = app.add_option("--voices-dir", voicesDir);
  auto* stateAtOption = app.add_option("--state-at", stateAt)->allow_extra_args(false);
  auto* stateOnlyOption = app.add_flag("--state-only", stateOnly)->needs(stateAtOption);
  // --midi / --roll: the notes as played, instead of the report.
  bool midi = false;
  bool roll = false;
  double rollScale = tavrin::kDefaultRollScale;
  app.add_flag("--midi", midi);
  auto* rollOption = app.add_flag("--roll", roll);
  app.add_option("--roll-scale", rollScale)->check(CLI::Range(1.0, 2000.0))->needs(rollOption);
  app.add_flag("--check", check);
  app.add_flag("-q,--quiet", quiet);
  app.add_flag("-r,--recursive", recursive);
  app.add_option("--progress", progressText);
  app.add_option("FILE", files)->required();

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
  tavrin::cli::ProgressMode progressMode = tavrin::cli::ProgressMode::Auto;
  std::vector<tavrin::cli::BatchFile> batchFiles;
  std::vector<std::string> emptyFolders;
  try {
    app.parse(argc, argv);
    if (const auto mode = tavrin::cli::ParseProgressMode(progressText)) {
      progressMode = *mode;
    } else {
      throw CLI::ValidationError("--progress",
                                 "expected auto, always or never, not \"" + progressText + "\"");
    }
    batchFiles = tavrin::cli::ExpandArguments(files, recursive, emptyFolders);
    if (std::string problem = tavrin::cli::StandardInputProblem(batchFiles, tavrin::cli::IsTerminal(stdin));
        !problem.empty()) {
      throw CLI::ValidationError("-", problem);
    }
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
    if (midi || roll) {
      const CLI::Option* reportOptions[] = {verboseOption, notesOption, tagsOption, statsOption, jsonOption,
                                            voicesOption, voicesOnlyOption, voicesDirOption, stateAtOption};
      for (const CLI::Option* other : reportOptions) {
        if (other->count() > 0 || check) {
          throw CLI::ValidationError(midi ? "--midi" : "--roll",
                                     "writes no report, so it cannot be combined with " +
                                         (check ? std::string("--check") : other->get_name()));
        }
      }
      if (midi && roll && !output.empty()) throw CLI::ValidationError("-o", "names one file: give --midi or --roll");
    }
    if (outputOption->count() > 0 && output.empty()) {
      throw CLI::ValidationError("-o", "needs a file name (- for standard output)");
    }
    if (!output.empty() && batchFiles.size() != 1 && !check) {
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
    if (code != 0) tavrin::cli::HintAtNamesLikeOptions(app);
    return code == 0 ? 0 : 2;
  }

  for (const std::string& folder : emptyFolders) {
    std::fprintf(stderr, "tavrin: %s: no file under it has a name ending in .s98, .vgm or .vgz\n",
                 tavrin::PrintableName(folder).c_str());
  }
  if (check) {
    std::vector<std::string> arguments;
    for (const auto& f : batchFiles) arguments.push_back(f.argument);
    return RunChecks(arguments, output, skipVersionCheck) ? 0 : 1;
  }

  std::vector<Job> batch;
  for (const auto& f : batchFiles) {
    Job job;
    job.input = tavrin::PathFromArgument(f.argument);
    job.name = f.logName;
    if (!output.empty()) {
      job.output = tavrin::PathFromArgument(output);
    } else if (f.argument == "-") {
      job.output = "-";
    } else {
      job.output = json ? tavrin::JsonLinesPathFor(job.input) : tavrin::ReportPathFor(job.input);
    }
    batch.push_back(std::move(job));
  }
  std::vector<std::filesystem::path> inputs, reports;
  for (const Job& job : batch) {
    inputs.push_back(job.input);
    reports.push_back(job.output);
  }
  const std::vector<std::string> refusals = tavrin::cli::RefusedReports(inputs, reports);
  for (std::size_t i = 0; i < batch.size(); ++i) batch[i].status = refusals[i];
  // The log moves to standard error when a report takes standard output.
  const bool reportToOutput =
      std::any_of(batch.begin(), batch.end(), [](const Job& j) { return j.output == "-"; }) ||
      tavrin::cli::ReportTakesStandardOutput(output);
  std::FILE* log = reportToOutput ? stderr : stdout;
  tavrin::cli::ProgressLine progress(
      stderr, tavrin::cli::WantProgress(progressMode, tavrin::cli::IsTerminal(stderr),
                                        reportToOutput && tavrin::cli::IsTerminal(stdout)));
  for (const auto& f : batchFiles) progress.Add(f.logName, tavrin::cli::InputSize(f.argument));
  tavrin::cli::BatchLog batchLog(log, quiet, progress);
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
  if (midi || roll) {
    std::vector<std::string> arguments;
    for (const auto& f : batchFiles) arguments.push_back(f.argument);
    return WriteMusicFiles(arguments, output, midi, roll, rollScale, options, log) ? 0 : 1;
  }
  progress.Start();
  const bool converted = RunJobs(batch, options, jobs, batchLog, progress);
  progress.Stop();
  const bool patched = voicesDir.empty() || WriteVoiceFiles(batch, options, voicesDir, log);
  batchLog.Summary();
  return converted && patched && !tavrin::cli::LogLost(log) ? 0 : 1;
}
