// What the command line does against hostile use: names made printable, clashing reports refused, a lost log noticed.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tavrin::cli {

// The outcomes besides "ok", for the end of --help, a few to a line.
std::string OutcomesHelp();

// A name for the log and the --check listing: control characters escaped (see tavrin::PrintableName).
std::string LogName(const std::filesystem::path& name);

// The status each FILE of the batch starts with: "" to convert it, or the batch-clash refusal.
std::vector<std::string> RefusedReports(const std::vector<std::filesystem::path>& inputs,
                                        const std::vector<std::filesystem::path>& reports);

// True when the report goes to standard output ("-", /dev/stdout, /dev/fd/1, ...), so the log moves
// to standard error.
bool ReportTakesStandardOutput(const std::string& output);

// After a usage error: when an argument that looked like an option was a file's name, says how to
// pass such a name.
void HintAtNamesLikeOptions(const CLI::App& app);

// Flushes the log; when it could not be written whole (standard output at /dev/full), says so on
// standard error and returns true, so the run cannot end with exit status 0.
bool LogLost(std::FILE* log);

}  // namespace tavrin::cli
