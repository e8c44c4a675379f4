// The files of one run and its log: folders opened with -r, outcome lines, the summary at the end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/progress.h"

namespace tavrin::cli {

// One file of the batch: the argument it is read through (as tavrin::PathFromArgument takes it) and
// the name its log lines give it.
struct BatchFile {
  std::string argument;
  std::string logName;
};

// The FILE arguments in order, each folder replaced (with `recursive`) by every file under it whose
// name ends in ".s98", ".vgm" or ".vgz" in any case, in sorted order of their paths. Symbolic links to folders inside
// are skipped; a folder that cannot be read stays in the batch, so it fails with its own outcome
// line. A file given by name keeps its name part in the log; a file found in a folder is logged with
// its path. `emptyFolders` gets the folders that held no such file.
std::vector<BatchFile> ExpandArguments(const std::vector<std::string>& arguments, bool recursive,
                                       std::vector<std::string>& emptyFolders);

// Why the batch cannot read standard input as it asks ("" when it can): "-" named twice, or standard
// input is a terminal, where nobody types S98 or VGM files.
std::string StandardInputProblem(const std::vector<BatchFile>& batch, bool inputIsTerminal);

// "38 files: 36 ok, 2 failed".
std::string SummaryLine(std::size_t ok, std::size_t failed);

// The log of a batch: the two lines of each file ("NAME" then "-> ok" or "-> " and the status),
// only the failures with `quiet`, and the summary line after a batch of more than one file. The
// progress line is cleared before each write, so the two never share a line.
class BatchLog {
 public:
  BatchLog(std::FILE* stream, bool quiet, ProgressLine& progress)
      : stream_(stream), quiet_(quiet), progress_(progress) {}

  void Outcome(const std::string& name, const std::string& status);
  // Prints the summary when more than one file was logged.
  void Summary();
  bool AllOk() const { return failed_ == 0; }

 private:
  std::FILE* stream_;
  bool quiet_;
  ProgressLine& progress_;
  std::size_t ok_ = 0;
  std::size_t failed_ = 0;
};

}  // namespace tavrin::cli
