// Runs of the built tavrin program inside a test's scratch folder (POSIX shell).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/golden.h"
#include "tests/support/scratch_folder.h"

namespace tavrin::testing {

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

class ProgramTest : public ScratchFolderTest {
 protected:
  // Runs a shell command in the scratch folder and collects its exit status and both outputs.
  Outcome Run(const std::string& command) {
    const std::string line = "cd '" + dir_.string() + "' && " + command + " >stdout.log 2>stderr.log";
    const int raw = std::system(line.c_str());
    Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile((dir_ / "stdout.log").string()),
              ReadWholeFile((dir_ / "stderr.log").string())};
    std::filesystem::remove(dir_ / "stdout.log");
    std::filesystem::remove(dir_ / "stderr.log");
    return r;
  }
  Outcome Tavrin(const std::string& args) { return Run("'" + std::string(TAVRIN_BINARY_DIR) + "/bin/tavrin' " + args); }
};

}  // namespace tavrin::testing
