// The tavrin program as a user runs it: reports beside the inputs, log lines, exit codes, -o, -j, --help.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/golden.h"
#include "tests/support/program_test.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::Outcome;
using testing::S98Builder;

class CliTest : public testing::ProgramTest {};

std::string WorkedExample() {
  return S98Builder().Raw({0x00, 0x29, 0x80}).LoopHere().Raw({0xFF, 0xFE, 0x01, 0x01, 0x07, 0x38, 0xFD}).BuildString();
}

TEST_F(CliTest, WorkedExampleWritesItsReportBesideTheInput) {
  Put("song.s98", WorkedExample());
  const Outcome r = Tavrin("song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "song.s98\n-> ok\n");
  EXPECT_EQ(ReadWholeFile((dir_ / "song.txt").string()),
            ReadWholeFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/golden/song.txt"));
}

TEST_F(CliTest, OutcomesInArgumentOrderAndExitStatus) {
  Put("a.s98", WorkedExample());
  Put("short.s98", "S98");
  Put("b.s98", WorkedExample());
  fs::create_directory(dir_ / "folder.s98");
  const Outcome r = Tavrin("-j 2 a.s98 short.s98 folder.s98 missing.s98 b.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "a.s98\n-> ok\n"
            "short.s98\n-> File read error.\n"
            "folder.s98\n-> File open error.\n"
            "missing.s98\n-> File open error.\n"
            "b.s98\n-> ok\n"
            "5 files: 2 ok, 3 failed\n");
  EXPECT_TRUE(fs::exists(dir_ / "b.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "short.txt"));
}

TEST_F(CliTest, ParallelBatchKeepsOrderAndReports) {
  std::string args, expected;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "f" + std::to_string(i) + ".s98";
    Put(name, i % 7 == 3 ? std::string("not an s98 file at all, longer than 32 bytes") : WorkedExample());
    args += " " + name;
    expected += name + "\n-> " + (i % 7 == 3 ? "This is not S98 format." : "ok") + "\n";
  }
  expected += "40 files: 34 ok, 6 failed\n";
  for (const char* jobs : {"-j 1", "-j 2", "-j 8"}) {
    const Outcome r = Tavrin(std::string(jobs) + " -v" + args);
    EXPECT_EQ(r.out, expected) << jobs;
    EXPECT_EQ(r.exitCode, 1);
  }
}

TEST_F(CliTest, OutputOption) {
  Put("song.s98", WorkedExample());
  Outcome r = Tavrin("-o - song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, ReadWholeFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/golden/song.txt"));
  EXPECT_EQ(r.err, "song.s98\n-> ok\n");  // the log moves aside when the report takes standard output
  EXPECT_FALSE(fs::exists(dir_ / "song.txt"));

  r = Tavrin("-o elsewhere.txt song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(fs::exists(dir_ / "elsewhere.txt"));

  if (fs::exists("/dev/full")) {
    r = Tavrin("-o /dev/full song.s98");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "song.s98\n-> File write error.\n");
  }
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  Put("a.s98", WorkedExample());
  for (const char* args : {"", "--bogus a.s98", "-o x.txt a.s98 a.s98", "-j 0 a.s98", "-j many a.s98"}) {
    const Outcome r = Tavrin(args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_FALSE(r.err.empty()) << args;
  }
}

TEST_F(CliTest, HelpAndVersion) {
  Outcome r = Tavrin("--help");
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"-v", "-f", "-o", "-j", "FILE", "Exit status"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
  r = Tavrin("--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.starts_with("tavrin ")) << r.out;
}

}  // namespace
}  // namespace tavrin
