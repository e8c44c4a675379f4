// The report options as a user types them: help, usage errors, .jsonl beside the input, --check listings and
// exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/convert.h"
#include "tests/support/options_support.h"
#include "tests/support/golden.h"
#include "tests/support/program_test.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::Outcome;
using testing::S98Builder;

class CliOptionsTest : public testing::ProgramTest {};

std::vector<std::uint8_t> Song() {
  return S98Builder()
      .Device(4, 7987200, 3)
      .Write(0, 0, 0x28, 0xF0)
      .Wait(50)
      .Write(0, 0, 0x28, 0x00)
      .Wait(100)
      .End()
      .Build();
}

TEST_F(CliOptionsTest, HelpListsEveryOption) {
  const Outcome r = Tavrin("--help");
  EXPECT_EQ(r.exitCode, 0);
  for (const char* option :
       {"-v, --verbose", "-f, --force", "--notes", "-o, --output OUT", "-j, --jobs N", "--from WHEN", "--to WHEN",
        "--device LIST", "--tags", "--stats", "--json", "--check", "--state-at WHEN", "--state-only", "--voices",
        "--voices-only", "--voices-dir DIR", "1200t", "0x1a2b"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
}

TEST_F(CliOptionsTest, UsageErrorsSayWhatWasExpected) {
  Put("song.s98", Song());
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"--from 1:75 song.s98",
       "--from: expected a time in seconds (83.5, 1:23.456 or 0:01:23.456), a tick count "
       "(1200t) or a file offset (0x1a2b), not \"1:75\""},
      {"--to 12x song.s98", "--to: expected a time"},
      {"--device 0,200 song.s98", "--device: expected device numbers from 0 to 126"},
      {"--check --json song.s98", "--check: writes no report, so it cannot be combined with --json"},
      {"--check -v song.s98", "cannot be combined with --verbose"},
      {"--check --from 1 song.s98", "cannot be combined with --from"},
      {"-o out.txt song.s98 song.s98", "-o: takes exactly one FILE"},
      {"--state-at loopy song.s98", "--state-at: expected loop, end, a time"},
      {"--state-only song.s98", "--state-only requires --state-at"},
      {"--check --state-at end song.s98", "cannot be combined with --state-at"},
  };
  for (const auto& c : cases) {
    const Outcome r = Tavrin(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "song.txt"));
}

TEST_F(CliOptionsTest, JsonLinesBesideTheInput) {
  Put("song.s98", Song());
  const Outcome r = Tavrin("--json -v --stats song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "song.s98\n-> ok\n");
  EXPECT_FALSE(fs::exists(dir_ / "song.txt"));
  ASSERT_TRUE(fs::exists(dir_ / "song.jsonl"));
  std::string jsonl;
  ASSERT_EQ(ConvertS98Bytes(
                Song(), "song.s98",
                ConversionOptions{.verbose = true, .stats = true, .format = ReportFormat::JsonLines}, jsonl),
            "");
  EXPECT_EQ(ReadWholeFile((dir_ / "song.jsonl").string()), jsonl);
  if (std::system("python3 -c 'import json' >/dev/null 2>&1") == 0) {
    EXPECT_EQ(Run("python3 -m json.tool --json-lines song.jsonl").exitCode, 0);
  }
}

TEST_F(CliOptionsTest, RangeThroughTheCommandLine) {
  Put("song.s98", Song());
  const Outcome r = Tavrin("-v --from 0.5 --to 1.5 --device 0 --tags --stats -o - song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "song.s98\n-> ok\n");
  ConversionOptions options{.verbose = true, .tags = true, .stats = true};
  options.selection.from = ParseDumpPoint("0.5");
  options.selection.to = ParseDumpPoint("1.5");
  options.selection.deviceFilter = ParseDeviceList("0", options.selection.devices);
  std::string report;
  ASSERT_EQ(ConvertS98Bytes(Song(), "song.s98", options, report), "");
  EXPECT_EQ(r.out, report);
  EXPECT_NE(report.find("\r\n00000035 : 00 28 00\t[ #00 OPNA(YM2608) ] "), std::string::npos) << report;
}

TEST_F(CliOptionsTest, TimeRangeNeedsAPositiveTimer) {
  Put("odd.s98", S98Builder().Timer(0xFFFFFFFF, 0).Wait(2).End().Build());
  const Outcome r = Tavrin("--from 1 odd.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "odd.s98\n-> Time range needs a positive timer.\n");
  EXPECT_FALSE(fs::exists(dir_ / "odd.txt"));
}

TEST_F(CliOptionsTest, CheckListsFindingsAndSetsTheExitCode) {
  Put("clean.s98", Song());
  Put("loose.s98", S98Builder().Device(5, 3579545).Write(0, 1, 0x08, 0).Wait(1).Build());
  Put("wrong.s98", S98Builder().Magic("S99").Build());

  Outcome r = Tavrin("--check clean.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "clean.txt"));

  r = Tavrin("--check clean.s98 loose.s98 wrong.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "loose.s98: 0x00000030: 1 port 1 write to device #00 OPM(YM2151), which has one port\n"
            "loose.s98: 0x00000034: the dump has no end command (0xfd): it runs to the end of the file\n"
            "wrong.s98: This is not S98 format.\n");
  EXPECT_EQ(r.err, "3 files checked: 1 clean, 1 with findings (2 in all), 1 refused\n");

  // -o takes the listing of every file, written whole or not at all.
  r = Tavrin("--check -o listing.txt loose.s98 clean.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadWholeFile((dir_ / "listing.txt").string()),
            "loose.s98: 0x00000030: 1 port 1 write to device #00 OPM(YM2151), which has one port\n"
            "loose.s98: 0x00000034: the dump has no end command (0xfd): it runs to the end of the file\n");
  r = Tavrin("--check -o clean.s98 clean.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Input and output are the same file."), std::string::npos);
  EXPECT_EQ(testing::ReadBytes(dir_ / "clean.s98"), Song());
}

}  // namespace
}  // namespace tavrin
