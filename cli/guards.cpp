// What the command line does against hostile use: names made printable, clashing reports refused, a lost log noticed.
#include "cli/guards.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>

#include "engine/batch.h"
#include "engine/convert.h"
#include "engine/file_io.h"
#include "engine/paths.h"

namespace tavrin::cli {

std::string OutcomesHelp() {
  const std::string_view outcomes[] = {
      kStatusFileOpenError, kStatusFileReadError,   kStatusNotS98,      kStatusVersionError,
      kStatusTooManyDevices, kStatusSameFile,       kStatusBatchClash,  kStatusOutputOpenError,
      kStatusWriteError,    kStatusNotPlaced,       kStatusTimeNeedsTimer};
  std::string text = "Outcomes besides \"ok\":";
  std::size_t lineStart = 0;
  for (const std::string_view outcome : outcomes) {
    std::string item = " " + std::string(outcome);
    if (outcome == kStatusNotPlaced) item += "REASON.";
    if (text.size() - lineStart + item.size() > 100) {
      text += "\n ";
      lineStart = text.size() - 1;
    }
    text += item;
  }
  return text + "\n";
}

std::string LogName(const std::filesystem::path& name) {
#ifdef _WIN32
  const auto utf8 = name.u8string();
  return PrintableName(std::string(utf8.begin(), utf8.end()));
#else
  return PrintableName(name.native());
#endif
}

std::vector<std::string> RefusedReports(const std::vector<std::filesystem::path>& inputs,
                                        const std::vector<std::filesystem::path>& reports) {
  std::vector<BatchFile> batch;
  batch.reserve(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) batch.push_back({inputs[i], reports[i]});
  return BatchClashes(batch);
}

bool ReportTakesStandardOutput(const std::string& output) {
  return !output.empty() && StreamDescriptor(PathFromArgument(output)) == 1;
}

void HintAtNamesLikeOptions(const CLI::App& app) {
  for (const std::string& argument : app.remaining()) {
    if (argument.size() > 1 && argument[0] == '-' && argument != "--") {
      std::fprintf(stderr, "To convert a file whose name starts with '-', write it as ./%s or after --.\n",
                   PrintableName(argument).c_str());
      return;
    }
  }
}

bool LogLost(std::FILE* log) {
  if (std::fflush(log) == 0 && !std::ferror(log)) return false;
  const int error = errno;
  if (log != stderr) std::fprintf(stderr, "tavrin: the log could not be written: %s\n", std::strerror(error));
  return true;
}

}  // namespace tavrin::cli
