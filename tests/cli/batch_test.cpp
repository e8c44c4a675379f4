// Batches as a user runs them: the summary line, --quiet, folders with -r, standard input, the progress line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/golden.h"
#include "tests/support/program_test.h"
#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::Outcome;
using testing::ReadWholeFile;
using testing::S98Builder;
using testing::VgmBuilder;

class BatchTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    song_ = S98Builder()
                .Raw({0x00, 0x29, 0x80})
                .LoopHere()
                .Raw({0xFF, 0xFE, 0x01, 0x01, 0x07, 0x38, 0xFD})
                .BuildString();
  }

  // The report of the song as read from standard input: the golden report, named "-".
  std::string StandardInputReport() const {
    std::string report = ReadWholeFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/golden/song.txt");
    const std::string line = "Filename       = song.s98\r\n";
    return report.replace(report.find(line), line.size(), "Filename       = -\r\n");
  }

  // A shell command that writes the song to a pipe with a pause of 2.5 s after its head, so the
  // conversion reading it lasts longer than the progress line's delay.
  std::string SlowSong() const { return "{ head -c 40 song.s98; sleep 2.5; tail -c +41 song.s98; }"; }

  // Runs `command` on a pseudo-terminal (util-linux script); what the terminal received, with the
  // terminal's CR LF line ends.
  std::string OnTerminal(const std::string& command) {
    const Outcome r = Run("script -qec \"" + command + "\" /dev/null");
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    return r.out;
  }

  std::string song_;
};

TEST_F(BatchTest, SummaryEndsABatchAndQuietKeepsOnlyFailures) {
  Put("a.s98", song_);
  Put("b.s98", song_);
  Put("bad.s98", std::string(40, 'x'));
  struct Case {
    const char* args;
    const char* log;
  };
  const Case cases[] = {
      {"a.s98 bad.s98 b.s98",
       "a.s98\n-> ok\nbad.s98\n-> This is not S98 format.\nb.s98\n-> ok\n3 files: 2 ok, 1 failed\n"},
      {"-q -j 2 a.s98 bad.s98 b.s98", "bad.s98\n-> This is not S98 format.\n3 files: 2 ok, 1 failed\n"},
      {"--quiet a.s98 b.s98", "2 files: 2 ok, 0 failed\n"},
      {"a.s98", "a.s98\n-> ok\n"},  // one file: no summary
      {"-q a.s98", ""},
  };
  for (const Case& c : cases) {
    const Outcome r = Tavrin(c.args);
    EXPECT_EQ(r.out, c.log) << c.args;
    EXPECT_EQ(r.err, "") << c.args;
  }
}

TEST_F(BatchTest, RecursiveConvertsS98AndVgmFilesUnderFoldersInSortedOrder) {
  for (const char* name :
       {"music/a.s98", "music/B.S98", "music/sub/c.S98", "music/sub/deep/d.s98", "top.s98"}) {
    fs::create_directories((dir_ / name).parent_path());
    Put(name, song_);
  }
  const VgmBuilder vgm = VgmBuilder().Clock(0x0C, 3579545).Command({0x50, 0x9F}).Wait(1).End();
  const auto vgmBytes = vgm.Build();
  const auto vgzBytes = vgm.BuildGzip();
  Put("music/g.vgm", std::string(vgmBytes.begin(), vgmBytes.end()));
  Put("music/sub/f.VGZ", std::string(vgzBytes.begin(), vgzBytes.end()));
  Put("music/sub/h.vgm.gz", std::string(vgzBytes.begin(), vgzBytes.end()));
  Put("music/notes.txt", "not a log");
  Put("music/sub/e.s98x", song_);
  fs::create_directory(dir_ / "empty");
  fs::create_directory_symlink(dir_ / "music/sub", dir_ / "music/link");  // would list sub twice
  fs::create_symlink(dir_ / "top.s98", dir_ / "music/file-link.s98");

  Outcome r = Tavrin("-r music top.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "music/B.S98\n-> ok\nmusic/a.s98\n-> ok\nmusic/file-link.s98\n-> ok\nmusic/g.vgm\n-> ok\n"
            "music/sub/c.S98\n-> ok\nmusic/sub/deep/d.s98\n-> ok\nmusic/sub/f.VGZ\n-> ok\ntop.s98\n-> ok\n"
            "8 files: 8 ok, 0 failed\n");
  for (const char* report : {"music/B.txt", "music/a.txt", "music/g.txt", "music/sub/c.txt", "music/sub/deep/d.txt",
                             "music/sub/f.txt"}) {
    EXPECT_TRUE(fs::exists(dir_ / report)) << report;
  }
  EXPECT_FALSE(fs::exists(dir_ / "music/sub/e.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "music/sub/h.vgm.txt"));

  r = Tavrin("music");  // without -r a folder is not a file
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "music\n-> File open error.\n");

  r = Tavrin("--recursive empty");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tavrin: empty: no file under it has a name ending in .s98, .vgm or .vgz\n");

  r = Tavrin("--check -r music");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Tavrin("-r -o one.txt music").exitCode, 2);  // -o takes one file, not seven
}

TEST_F(BatchTest, DashReadsStandardInput) {
  Put("song.s98", song_);
  Put("a.s98", song_);
  Outcome r = Tavrin("- < song.s98");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, StandardInputReport());
  EXPECT_EQ(r.err, "-\n-> ok\n");

  r = Run("cat song.s98 | '" + std::string(TAVRIN_BINARY_DIR) + "/bin/tavrin' -o piped.txt -");
  EXPECT_EQ(r.out, "-\n-> ok\n");
  EXPECT_EQ(ReadWholeFile((dir_ / "piped.txt").string()), StandardInputReport());

  // With other files the report of "-" still takes standard output, and the log standard error.
  r = Tavrin("a.s98 - < song.s98");
  EXPECT_EQ(r.out, StandardInputReport());
  EXPECT_EQ(r.err, "a.s98\n-> ok\n-\n-> ok\n2 files: 2 ok, 0 failed\n");
  EXPECT_TRUE(fs::exists(dir_ / "a.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "-.txt"));

  r = Tavrin("--json - < song.s98");
  EXPECT_TRUE(r.out.starts_with("{\"type\":\"head\",\"file\":\"-\",")) << r.out;

  r = Tavrin("- - < song.s98");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("standard input can be read only once"), std::string::npos) << r.err;
}

TEST_F(BatchTest, StandardInputFromATerminalIsRefused) {
  if (Run("command -v script").exitCode != 0) GTEST_SKIP() << "script (util-linux) is not installed";
  const Outcome r = Run("script -qec \"'" + std::string(TAVRIN_BINARY_DIR) + "/bin/tavrin' -\" /dev/null");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("standard input is a terminal"), std::string::npos) << r.out;
}

TEST_F(BatchTest, ProgressLineOnATerminalOnly) {
  if (Run("command -v script").exitCode != 0) GTEST_SKIP() << "script (util-linux) is not installed";
  Put("song.s98", song_);
  Put("a.s98", song_);
  const std::string tavrin = "'" + std::string(TAVRIN_BINARY_DIR) + "/bin/tavrin'";
  const std::string log = "a.s98\r\n-> ok\r\n-\r\n-> ok\r\n2 files: 2 ok, 0 failed\r\n";

  // Drawn while standard input is slow, then erased, so the log lines start at the left margin.
  std::string screen = OnTerminal(SlowSong() + " | " + tavrin + " -j 1 a.s98 - >report.txt");
  const std::size_t line = screen.find("\r1/2 files  - 40 B  ");
  ASSERT_NE(line, std::string::npos) << screen;
  const std::size_t erased = screen.rfind("\r" + std::string(20, ' '));
  ASSERT_NE(erased, std::string::npos) << screen;
  EXPECT_GT(erased, line);
  const std::size_t after = screen.find('\r', erased + 1);
  EXPECT_EQ(screen.substr(after + 1), "-\r\n-> ok\r\n2 files: 2 ok, 0 failed\r\n");
  EXPECT_EQ(screen.substr(0, line), "a.s98\r\n-> ok\r\n");
  EXPECT_EQ(ReadWholeFile((dir_ / "report.txt").string()), StandardInputReport());

  screen = OnTerminal(SlowSong() + " | " + tavrin + " -j 1 --progress=never a.s98 - >report.txt");
  EXPECT_EQ(screen, log);

  // Standard error is a file: no progress line in it unless asked for.
  Outcome r = Run(SlowSong() + " | " + tavrin + " -j 1 a.s98 - >report.txt 2>log.txt; cat log.txt");
  EXPECT_EQ(r.out, "a.s98\n-> ok\n-\n-> ok\n2 files: 2 ok, 0 failed\n");
  r = Run(SlowSong() + " | " + tavrin + " -j 1 --progress always a.s98 - >report.txt 2>log.txt; cat log.txt");
  EXPECT_NE(r.out.find("\r1/2 files  - 40 B  "), std::string::npos) << r.out;
}

TEST_F(BatchTest, ProgressModeMustBeKnown) {
  Put("a.s98", song_);
  const Outcome r = Tavrin("--progress=sometimes a.s98");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--progress: expected auto, always or never, not \"sometimes\""), std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace tavrin
