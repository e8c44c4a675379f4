// tavrin used against its will: stream names, closed streams, clashing batches, long names, protected reports, hostile names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/program_test.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::Outcome;
using testing::ReadWholeFile;
using testing::S98Builder;

std::string Song() { return S98Builder().Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF0).Wait(1).End().BuildString(); }

std::string Program(const char* name) { return "'" + std::string(TAVRIN_BINARY_DIR) + "/bin/" + name + "'"; }

constexpr fs::perms kReadWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                 fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;

ino_t Inode(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Names in the folder other than the ones the test put there: hidden temporary reports left behind.
std::string HiddenFiles(const fs::path& folder) {
  std::string found;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(".")) found += name + " ";
  }
  return found;
}

class HostileUseTest : public testing::ProgramTest {
 protected:
  // The report `tavrin` writes for the song under `name`, made the ordinary way for comparison.
  std::string ExpectedReport(const std::string& name) {
    fs::create_directories(dir_ / "expected");
    Put("expected/" + name, Song());
    EXPECT_EQ(Tavrin("expected/" + name).exitCode, 0);
    const std::string report = ReadWholeFile((dir_ / "expected" / fs::path(name).replace_extension(".txt")).string());
    fs::remove_all(dir_ / "expected");
    return report;
  }
  // Runs as an unprivileged user (nobody) when the tests run as root; "" when that cannot be done.
  std::string AsUser() {
    if (::geteuid() != 0) return " ";
    if (std::system("command -v setpriv >/dev/null") != 0) return "";
    fs::permissions(dir_, fs::perms::all);
    return " setpriv --reuid=nobody --regid=nogroup --clear-groups ";
  }
};

// Item 1: a name of one of the program's own streams is written through the descriptor, appended
// where the stream appends; the file behind it is never replaced by a rename.
TEST_F(HostileUseTest, StreamNamesAreWrittenThroughTheirDescriptor) {
  struct StreamCase {
    const char* target;
    const char* redirections;  // the stream to log.txt, the rest to out.txt
    const char* logFile;       // where the log lines must be
  };
  const StreamCase cases[] = {
      {"/dev/stdout", ">>log.txt 2>out.txt", "out.txt"},
      {"/dev/fd/1", ">>log.txt 2>out.txt", "out.txt"},
      {"/proc/self/fd/1", ">>log.txt 2>out.txt", "out.txt"},
      {"/dev/stderr", "2>>log.txt >out.txt", "out.txt"},
      {"/dev/fd/3", "3>>log.txt >out.txt", "out.txt"},
  };
  Put("s.s98", Song());
  const std::string report = ExpectedReport("s.s98");
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.target);
    Put("log.txt", "earlier log line\n");
    const ino_t before = Inode(dir_ / "log.txt");
    const Outcome r = Run("{ " + Program("tavrin") + " -o " + c.target + " s.s98 " + c.redirections + "; }");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Inode(dir_ / "log.txt"), before) << "the file behind the stream was replaced";
    EXPECT_EQ(ReadWholeFile((dir_ / "log.txt").string()), "earlier log line\n" + report);
    EXPECT_EQ(ReadWholeFile((dir_ / c.logFile).string()), "s.s98\n-> ok\n");
  }
  // A descriptor that is not open is no place for a report.
  const Outcome r = Tavrin("-o /dev/fd/7 s.s98");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "s.s98\n-> File open error(out).\n");
}

// Item 2: with standard input and output closed, no report takes descriptor 0 or 1 while the log
// writes there; a log that cannot be written is not success.
TEST_F(HostileUseTest, ClosedStandardStreamsAndALostLog) {
  std::string names;
  for (int i = 0; i < 300; ++i) {
    Put("t" + std::to_string(i) + ".s98", Song());
    names += " t" + std::to_string(i) + ".s98";
  }
  Outcome r = Run("{ " + Program("tavrin") + " -j 2" + names + " <&- >&-; }");
  EXPECT_EQ(r.exitCode, 0);
  std::string spoilt;
  for (int i = 0; i < 300; ++i) {
    const std::string report = ReadWholeFile((dir_ / ("t" + std::to_string(i) + ".txt")).string());
    if (!report.starts_with("[ S98 Information ]\r\n")) spoilt += "t" + std::to_string(i) + ".txt ";
  }
  EXPECT_EQ(spoilt, "") << "reports that do not begin with their header";

  if (fs::exists("/dev/full")) {
    r = Run("{ " + Program("tavrin") + " t0.s98 >/dev/full; }");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the log could not be written"), std::string::npos) << r.err;
  }
}

// Item 3: files of one batch whose reports would land on one file: the first one is written, the
// later ones are refused, and no input of the batch is ever overwritten.
TEST_F(HostileUseTest, ReportsOfOneBatchNeverCollide) {
  struct BatchCase {
    const char* label;
    std::vector<std::string> songs;  // files holding the song
    const char* args;
    std::string log;
    std::string songKept;  // an input that must still hold the song afterwards ("" for none)
  };
  const std::string clash = "-> Report clashes with another file of this batch.\n";
  const BatchCase cases[] = {
      {"one stem, three extensions", {"a.s98", "a.xyz", "a.S98"}, "-j 2 a.s98 a.xyz a.S98",
       "a.s98\n-> ok\na.xyz\n" + clash + "a.S98\n" + clash + "3 files: 1 ok, 2 failed\n", ""},
      {"report is a later input", {"a.s98", "a.txt"}, "a.s98 a.txt",
       "a.s98\n" + clash + "a.txt\n-> Input and output are the same file.\n2 files: 0 ok, 2 failed\n", "a.txt"},
      {"report is an earlier input", {"a.txt", "a.s98"}, "-j 2 a.txt a.s98",
       "a.txt\n-> Input and output are the same file.\na.s98\n" + clash + "2 files: 0 ok, 2 failed\n", "a.txt"},
      {"one file twice", {"a.s98"}, "a.s98 ./a.s98", "a.s98\n-> ok\na.s98\n" + clash + "2 files: 1 ok, 1 failed\n", ""},
      {"JSON lines", {"a.s98", "a.S98"}, "--json a.s98 a.S98", "a.s98\n-> ok\na.S98\n" + clash + "2 files: 1 ok, 1 failed\n",
       ""},
  };
  for (const BatchCase& c : cases) {
    SCOPED_TRACE(c.label);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
    for (const std::string& name : c.songs) Put(name, Song());
    const Outcome r = Tavrin(c.args);
    EXPECT_EQ(r.out, c.log);
    EXPECT_EQ(r.exitCode, 1);
    if (!c.songKept.empty()) {
      EXPECT_EQ(ReadWholeFile((dir_ / c.songKept).string()), Song());
    }
  }
}

// Item 5: every name the file system takes gets its report, however long; a report name that is
// itself too long is refused as such, and no hidden file is left behind.
TEST_F(HostileUseTest, LongNamesGetReportsOrTheRightRefusal) {
  struct NameCase {
    std::size_t stem;  // bytes before the extension
    const char* extension;
    const char* options;
    const char* outcome;
  };
  const NameCase cases[] = {
      {243, ".s98", "", "ok"},         {244, ".s98", "", "ok"},
      {251, ".s98", "", "ok"},         {240, ".s98", "--json", "ok"},
      {249, ".s98", "--json", "ok"},   {250, ".s98", "--json", "File open error(out)."},
      {251, "", "", "ok"},             {252, "", "", "File open error(out)."},
      {255, "", "", "File open error(out)."},
  };
  for (const NameCase& c : cases) {
    const std::string name = std::string(c.stem, 'n') + c.extension;
    SCOPED_TRACE(std::to_string(name.size()) + " bytes " + c.options);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
    Put(name, Song());
    const Outcome r = Tavrin(std::string(c.options) + " " + name);
    EXPECT_EQ(r.out, name + "\n-> " + c.outcome + "\n");
    EXPECT_EQ(HiddenFiles(dir_), "");
  }
}

// Item 12: a report its owner protected is not replaced; a dangling link is written through like a
// working one; a complete report that cannot be renamed into place says why.
TEST_F(HostileUseTest, ProtectedAndLinkedReports) {
  const std::string as = AsUser();
  if (as.empty()) GTEST_SKIP() << "cannot run as an unprivileged user here";
  const std::string tavrin = as + Program("tavrin");
  Put("s.s98", Song());
  const std::string report = ExpectedReport("d.s98");

  Put("s.txt", "protected\n");
  fs::permissions(dir_ / "s.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((dir_ / "s.txt").c_str(), 65534, 65534), 0);
  }
  Outcome r = Run(tavrin + " s.s98");
  EXPECT_EQ(r.out, "s.s98\n-> File open error(out).\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(ReadWholeFile((dir_ / "s.txt").string()), "protected\n");

  for (const char* link : {"dangling", "working"}) {
    SCOPED_TRACE(link);
    fs::create_directories(dir_ / "linked");
    fs::permissions(dir_ / "linked", fs::perms::all);
    fs::remove(dir_ / "linked" / "target.txt");
    if (link == std::string("working")) {
      Put("linked/target.txt", "old");
      fs::permissions(dir_ / "linked" / "target.txt", kReadWrite);
    }
    fs::remove(dir_ / "d.txt");
    fs::create_symlink("linked/target.txt", dir_ / "d.txt");
    Put("d.s98", Song());
    r = Run(tavrin + " d.s98");
    EXPECT_EQ(r.out, "d.s98\n-> ok\n");
    EXPECT_TRUE(fs::is_symlink(dir_ / "d.txt"));
    EXPECT_EQ(ReadWholeFile((dir_ / "linked" / "target.txt").string()), report);
  }

  if (::geteuid() == 0) {
    // A sticky folder: anyone may create files there but not replace another user's.
    fs::create_directories(dir_ / "sticky");
    ::chmod((dir_ / "sticky").c_str(), 01777);
    Put("sticky/s.s98", Song());
    Put("sticky/s.txt", "root's report\n");
    fs::permissions(dir_ / "sticky" / "s.txt", kReadWrite);
    r = Run(tavrin + " sticky/s.s98");
    EXPECT_EQ(r.out, "s.s98\n-> Report written but not put in place: Operation not permitted.\n");
    EXPECT_EQ(ReadWholeFile((dir_ / "sticky" / "s.txt").string()), "root's report\n");
    EXPECT_EQ(HiddenFiles(dir_ / "sticky"), "");
  }
}

// Item 13: names with control characters are escaped in the log and the --check listing; option
// values and names that look like options get a clear answer.
TEST_F(HostileUseTest, HostileNamesAndArguments) {
  Put("a\nb\x1b[31m.s98", "S98");
  Put("c\\d\r.s98", "S98");
  Outcome r = Tavrin("\"$(printf 'a\\nb\\033[31m.s98')\" \"$(printf 'c\\\\d\\r.s98')\"");
  EXPECT_EQ(r.out,
            "a\\nb\\x1b[31m.s98\n-> File read error.\nc\\\\d\\r.s98\n-> File read error.\n2 files: 0 ok, 2 failed\n");
  r = Tavrin("--check \"$(printf 'a\\nb\\033[31m.s98')\"");
  EXPECT_EQ(r.out, "a\\nb\\x1b[31m.s98: File read error.\n");

  Put("s.s98", Song());
  r = Tavrin("-o '' s.s98");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("-o: needs a file name"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "s.txt"));

  Put("-x.s98", Song());
  r = Tavrin("-x.s98");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("write it as ./-x.s98 or after --"), std::string::npos) << r.err;
  r = Tavrin("-- -x.s98");
  EXPECT_EQ(r.out, "-x.s98\n-> ok\n");

  // The outcomes are listed where a user looks first.
  r = Tavrin("--help");
  for (const char* outcome : {"Report clashes with another file of this batch.", "Report written but not put in place"}) {
    EXPECT_NE(r.out.find(outcome), std::string::npos) << outcome;
  }

  r = Run(Program("tavrin-make-sample") + " --help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.starts_with("usage: tavrin-make-sample")) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "--help"));
  EXPECT_EQ(Run(Program("tavrin-make-sample") + " --bogus").exitCode, 2);
  EXPECT_FALSE(fs::exists(dir_ / "--bogus"));
}

}  // namespace
}  // namespace tavrin
