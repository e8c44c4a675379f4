// tavrin never reports success for a failed write; a failed or killed run leaves the disk as it was.
#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/golden.h"
#include "tests/support/s98_builder.h"
#include "tests/support/scratch_folder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::S98Builder;

// How one run of the program is set up.
struct Launch {
  Launch(std::vector<std::string> args_, std::optional<rlim_t> fileSizeLimit_ = std::nullopt,
         std::optional<std::string> stdoutPath_ = std::nullopt, bool closeStdout_ = false)
      : args(std::move(args_)),
        fileSizeLimit(fileSizeLimit_),
        stdoutPath(std::move(stdoutPath_)),
        closeStdout(closeStdout_) {}

  std::vector<std::string> args;
  std::optional<rlim_t> fileSizeLimit;    // bytes; writes past it fail with EFBIG, as on a full disk
  std::optional<std::string> stdoutPath;  // a file or device for standard output instead of the pipe
  bool closeStdout;
  bool withoutTmpfile = false;  // as on a file system without O_TMPFILE (NFS, vfat, FUSE)
};

struct Outcome {
  int exitCode = -1;  // -1 when killed by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// What a folder holds, down to modes and modification times, without following links.
struct Entry {
  char kind;            // f file, d folder, l link, p fifo, ? other
  std::string content;  // file bytes or link target
  mode_t mode;
  std::int64_t mtimeNs;
  bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;

Snapshot Take(const fs::path& folder) {
  Snapshot snap;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    Entry entry{'?', "", st.st_mode,
                static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    if (S_ISREG(st.st_mode)) {
      entry.kind = 'f';
      entry.content = ReadWholeFile(e.path().string());
    } else if (S_ISDIR(st.st_mode)) {
      entry.kind = 'd';
    } else if (S_ISLNK(st.st_mode)) {
      entry.kind = 'l';
      entry.content = fs::read_symlink(e.path()).string();
    } else if (S_ISFIFO(st.st_mode)) {
      entry.kind = 'p';
    }
    snap[fs::relative(e.path(), folder).string()] = entry;
  }
  return snap;
}

std::string Names(const Snapshot& snap) {
  std::string names;
  for (const auto& [name, entry] : snap) names += name + " ";
  return names;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string SmallSong() {
  return S98Builder().Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF0).Wait(1).End().BuildString();
}

// Enough register writes for a report of several megabytes with -v, far more than one output block.
std::vector<std::uint8_t> BigSongBytes(bool withEnd = true) {
  S98Builder b;
  b.Device(4, 7987200, 3).Device(5, 3579545, 3);
  for (int i = 0; i < 40000; ++i) {
    b.Write(i & 1, 0, static_cast<std::uint8_t>(0x30 + (i & 0x7F)), static_cast<std::uint8_t>(i));
    if (i % 16 == 0) b.Wait(1 + (i & 0x3FF));
  }
  if (withEnd) b.End();
  return b.Build();
}

// An earlier report, with bytes no conversion would write, so any rewrite shows.
constexpr char kOldReportBytes[] = "earlier report\r\n\0\xff kept byte for byte\r\n";
const std::string kOldReport(kOldReportBytes, sizeof kOldReportBytes - 1);

// The program runs in work/ inside the test's scratch folder, so that folder holds only what the test
// and the program put there.
class OutputSafetyTest : public testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    work_ = dir_ / "work";
    fs::create_directories(work_);
  }

  void Place(const std::string& name, const std::string& bytes, mode_t mode = 0644) {
    const fs::path p = work_ / name;
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    ::chmod(p.c_str(), mode);
  }

  // Starts the program in the work folder. Its log comes back through pipes, which no file size
  // limit touches, so the work folder holds only what the test and the program put there.
  pid_t Start(const Launch& launch) {
    const std::string program = std::string(TAVRIN_BINARY_DIR) + "/bin/tavrin";
    std::vector<std::string> args = {program};
    args.insert(args.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return -1;

    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(work_.c_str()) != 0) ::_exit(126);
      if (launch.stdoutPath) {
        const int file = ::open(launch.stdoutPath->c_str(), O_WRONLY);
        if (file < 0) ::_exit(126);
        ::dup2(file, STDOUT_FILENO);
      } else {
        ::dup2(out[1], STDOUT_FILENO);
      }
      ::dup2(err[1], STDERR_FILENO);
      if (launch.closeStdout) ::close(STDOUT_FILENO);
      if (launch.fileSizeLimit) {
        // Without this the limit would kill the program with SIGXFSZ instead of failing its write.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      if (launch.withoutTmpfile) {
        ::setenv("LD_PRELOAD", TAVRIN_NO_TMPFILE_SHIM, 1);
        // A sanitized program would refuse a library loaded ahead of its runtime.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
      }
      // A program that hangs is ended after a minute rather than holding the test for ever.
      ::alarm(60);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    return pid;
  }

  // Reads both pipes to their end (the program has exited or been killed), then reaps it.
  Outcome Wait(pid_t pid) {
    Outcome r;
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    std::string* texts[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, -1) >= 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          texts[i]->append(buffer, static_cast<std::size_t>(n));
        } else {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
    outFd_ = errFd_ = -1;
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    if (WIFEXITED(raw)) r.exitCode = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) r.signal = WTERMSIG(raw);
    return r;
  }

  Outcome Run(const Launch& launch) { return Wait(Start(launch)); }

  fs::path work_;
  int outFd_ = -1;
  int errFd_ = -1;
};

// Every way the program can fail with an earlier report beside the input: the log names the failure,
// the exit status is 1, and nothing in the folder changes, down to the report's mode and time.
TEST_F(OutputSafetyTest, EveryFailureLeavesTheFolderAsItWas) {
  struct FailureCase {
    const char* label;
    std::function<void()> setUp;  // puts the input in place; song.txt already holds the old report
    Launch launch;
    std::string log;
  };
  const std::string bigSong = Bytes(BigSongBytes());
  const FailureCase cases[] = {
      {"missing input", [] {}, {{"song.s98"}}, "song.s98\n-> File open error.\n"},
      {"input is a folder",
       [&] { fs::create_directory(work_ / "song.s98"); },
       {{"-v", "song.s98"}},
       "song.s98\n-> File open error.\n"},
      {"31 bytes",
       [&] { Place("song.s98", SmallSong().substr(0, 31)); },
       {{"song.s98"}},
       "song.s98\n-> File read error.\n"},
      {"device list cut short",
       [&] { Place("song.s98", S98Builder().Device(4, 1).DeviceCount(3).BuildString()); },
       {{"song.s98"}},
       "song.s98\n-> File read error.\n"},
      {"not S98",
       [&] { Place("song.s98", "RIFF" + std::string(60, 'x')); },
       {{"-f", "song.s98"}},
       "song.s98\n-> This is not S98 format.\n"},
      {"version 4",
       [&] { Place("song.s98", S98Builder().Version('4').End().BuildString()); },
       {{"-v", "song.s98"}},
       "song.s98\n-> S98 version error.\n"},
      {"too many devices",
       [&] { Place("song.s98", S98Builder().DeviceCount(0x7FFFFFFF).End().BuildString()); },
       {{"song.s98"}},
       "song.s98\n-> Too many devices.\n"},
      // The report would be the input itself: song.txt is both, and must come through untouched.
      {"report is the input",
       [] {},
       {{"-v", "song.txt"}},
       "song.txt\n-> Input and output are the same file.\n"},
      {"disk full half way through the report",
       [&] { Place("song.s98", bigSong); },
       {{"-v", "song.s98"}, 256 * 1024},
       "song.s98\n-> File write error.\n"},
      {"disk full before the first block",
       [&] { Place("song.s98", bigSong); },
       {{"song.s98"}, 1},
       "song.s98\n-> File write error.\n"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(work_);
    fs::create_directories(work_);
    Place("song.txt", c.label == std::string("report is the input") ? SmallSong() : kOldReport, 0640);
    c.setUp();
    const Snapshot before = Take(work_);
    const Outcome r = Run(c.launch);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, c.log);
    const Snapshot after = Take(work_);
    EXPECT_TRUE(after == before) << "before: " << Names(before) << "\nafter:  " << Names(after);
  }
}

TEST_F(OutputSafetyTest, DiskFullIsNotSuccessEvenWhenTheLimitIsMetExactly) {
  // The report of a small song is a few hundred bytes: a limit of one byte less fails, the size itself
  // succeeds.
  Place("song.s98", SmallSong());
  ASSERT_EQ(Run({{"song.s98"}}).exitCode, 0);
  const std::string report = ReadWholeFile((work_ / "song.txt").string());
  ASSERT_GT(report.size(), 100u);
  fs::remove(work_ / "song.txt");

  Outcome r = Run({{"song.s98"}, report.size() - 1});
  EXPECT_EQ(r.out, "song.s98\n-> File write error.\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(fs::exists(work_ / "song.txt"));
  EXPECT_EQ(Names(Take(work_)), "song.s98 ");

  r = Run({{"song.s98"}, report.size()});
  EXPECT_EQ(r.out, "song.s98\n-> ok\n");
  EXPECT_EQ(ReadWholeFile((work_ / "song.txt").string()), report);
}

// A folder (or a link to one) in the report's place stays exactly as it was, contents and all.
TEST_F(OutputSafetyTest, ReportPathThatIsAFolder) {
  struct FolderCase {
    const char* label;
    Launch launch;
    std::string log;
  };
  const FolderCase cases[] = {
      {"beside the input", {{"song.s98"}}, "song.s98\n-> File open error(out).\n"},
      {"with -v", {{"-v", "song.s98"}}, "song.s98\n-> File open error(out).\n"},
      {"named by -o", {{"-o", "song.txt", "song.s98"}}, "song.s98\n-> File open error(out).\n"},
      {"named by -o with a slash", {{"-o", "song.txt/", "song.s98"}}, "song.s98\n-> File open error(out).\n"},
      {"a link to a folder", {{"-o", "link.txt", "song.s98"}}, "song.s98\n-> File open error(out).\n"},
  };
  Place("song.s98", Bytes(BigSongBytes()));
  fs::create_directories(work_ / "song.txt" / "inner");
  Place("song.txt/notes", kOldReport);
  Place("song.txt/inner/more", "x");
  fs::create_directory_symlink("song.txt", work_ / "link.txt");
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.label);
    const Snapshot before = Take(work_);
    const Outcome r = Run(c.launch);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, c.log);
    EXPECT_TRUE(Take(work_) == before) << Names(Take(work_));
  }
}

// Devices and standard output are written directly; a failed write there is still a failure.
TEST_F(OutputSafetyTest, WriteErrorsOnDevicesAndStandardOutput) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  Place("a.s98", SmallSong());
  Place("big.s98", Bytes(BigSongBytes()));
  Place("c.s98", SmallSong());

  // A report beside its input that links to a full device, in the middle of a batch: only it fails,
  // the link stays a link, and the reports around it are written.
  fs::create_symlink("/dev/full", work_ / "big.txt");
  Outcome r = Run({{"-j", "2", "-v", "a.s98", "big.s98", "c.s98"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "a.s98\n-> ok\nbig.s98\n-> File write error.\nc.s98\n-> ok\n3 files: 2 ok, 1 failed\n");
  EXPECT_TRUE(fs::is_symlink(work_ / "big.txt"));
  EXPECT_TRUE(fs::exists(work_ / "a.txt"));
  EXPECT_TRUE(fs::exists(work_ / "c.txt"));

  // A report of many blocks fails at its first block, a small one at its only one.
  for (const char* input : {"big.s98", "a.s98"}) {
    SCOPED_TRACE(input);
    r = Run({{"-v", "-o", "/dev/full", input}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, std::string(input) + "\n-> File write error.\n");

    // Standard output full: the log, on standard error then, says so.
    r = Run({{"-v", "-o", "-", input}, std::nullopt, "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string(input) + "\n-> File write error.\n");

    // Standard output closed.
    r = Run({{"-o", "-", input}, std::nullopt, std::nullopt, true});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string(input) + "\n-> File write error.\n");
  }
}

// A conversion killed while it writes its report: a log big enough to take seconds, caught (and
// stopped, so the check is not a race) once the program has written more than two blocks.
class KilledConversion : public OutputSafetyTest {
 protected:
  // Starts `tavrin -v song.s98` beside an old song.txt and stops it half way. Returns its id.
  pid_t StartAndStopHalfWay(bool withoutTmpfile = false) {
    Place("song.txt", kOldReport, 0640);
    // Four million one-tick waits: a report of about 200 MB, written in blocks of 128 KiB, which
    // takes the program far longer than the test needs to catch it even on a busy machine.
    S98Builder b;
    b.Raw(std::vector<std::uint8_t>(4000000, 0xFF)).End();
    Place("song.s98", b.BuildString());
    Launch launch({"-v", "song.s98"});
    launch.withoutTmpfile = withoutTmpfile;
    const pid_t pid = Start(launch);
    // The kernel counts the bytes a process writes, wherever it keeps its new report.
    const std::string io = "/proc/" + std::to_string(pid) + "/io";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(io);
      std::string key;
      long long value = 0;
      while (in >> key >> value) {
        if (key == "wchar:" && value > 256 * 1024) {
          ::kill(pid, SIGSTOP);
          written_ = value;
          return pid;
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return pid;
  }

  long long written_ = 0;  // bytes the program had written when it was caught
};

TEST_F(KilledConversion, TheOldReportSurvivesWhileWritingAndAfterTheKill) {
  const pid_t pid = StartAndStopHalfWay();
  ASSERT_GT(pid, 0);
  ASSERT_GT(written_, 0) << "the program was never caught writing its report";
  EXPECT_EQ(ReadWholeFile((work_ / "song.txt").string()), kOldReport)
      << "the old report was touched while writing";

  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  const Outcome r = Wait(pid);
  ASSERT_EQ(r.signal, SIGKILL) << "the conversion ended before it could be killed";
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadWholeFile((work_ / "song.txt").string()), kOldReport);
  struct stat st {};
  ASSERT_EQ(::stat((work_ / "song.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Nothing of the half-written report may stay behind either, under any name.
TEST_F(KilledConversion, NoHalfReportIsLeftBehind) {
  const pid_t pid = StartAndStopHalfWay();
  ASSERT_GT(pid, 0);
  ASSERT_GT(written_, 0) << "the program was never caught writing its report";
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  ASSERT_EQ(Wait(pid).signal, SIGKILL);
  std::string halfReports;
  for (const auto& [name, entry] : Take(work_)) {
    if (name != "song.s98" && name != "song.txt")
      halfReports += name + " (" + std::to_string(entry.content.size()) + " bytes) ";
  }
  EXPECT_EQ(halfReports, "") << "a killed conversion left part of its report beside the old one";
}

// Where the report cannot be written without a name (no O_TMPFILE), its hidden temporary name is
// removed when SIGINT, SIGTERM or SIGHUP ends the program, and the old report stays.
TEST_F(KilledConversion, SignalsRemoveTheHiddenReport) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    fs::remove_all(work_);
    fs::create_directories(work_);
    const pid_t pid = StartAndStopHalfWay(true);
    ASSERT_GT(pid, 0);
    ASSERT_GT(written_, 0) << "the program was never caught writing its report";
    std::string hidden;
    for (const auto& [name, entry] : Take(work_)) {
      if (name.starts_with(".")) hidden += name;
    }
    ASSERT_NE(hidden, "") << "the program wrote its report without a name: the shim did not take";
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    const Outcome r = Wait(pid);
    EXPECT_EQ(r.signal, signal);
    EXPECT_EQ(Names(Take(work_)), "song.s98 song.txt ");
    EXPECT_EQ(ReadWholeFile((work_ / "song.txt").string()), kOldReport);
  }
}

// A fifo at the input with no program writing to it, or at the report with none reading it: the
// program says so and goes on with the next file instead of waiting for ever.
TEST_F(OutputSafetyTest, FifoWithNobodyAtTheOtherEndIsRefused) {
  struct FifoCase {
    const char* label;
    const char* fifo;
    std::string log;
  };
  const FifoCase cases[] = {
      {"input", "first.s98", "first.s98\n-> File open error.\nafter.s98\n-> ok\n2 files: 1 ok, 1 failed\n"},
      {"report", "first.txt", "first.s98\n-> File open error(out).\nafter.s98\n-> ok\n2 files: 1 ok, 1 failed\n"},
  };
  for (const FifoCase& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(work_);
    fs::create_directories(work_);
    Place("first.s98", SmallSong());
    Place("after.s98", SmallSong());
    fs::remove(work_ / c.fifo);
    ASSERT_EQ(::mkfifo((work_ / c.fifo).c_str(), 0644), 0);
    const Outcome r = Run({{"-j", "1", "first.s98", "after.s98"}});
    EXPECT_EQ(r.signal, 0) << "the program hung on the fifo";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, c.log);
    EXPECT_EQ(Take(work_)[c.fifo].kind, 'p');
    EXPECT_TRUE(fs::exists(work_ / "after.txt"));
  }
}

// Input that cannot be positioned (a pipe or fifo, e.g. `zcat song.s98.gz | tavrin -o - /dev/stdin`)
// must still be read to its end, or refused; an empty dump reported as success hides the failed read.
// Logs bigger than one input block matter most: what the reader has in hand needs no positioning.
TEST_F(OutputSafetyTest, InputFromAFifoIsReadInFull) {
  ::signal(SIGPIPE, SIG_IGN);  // should the program stop reading early, the test sees EPIPE instead of dying
  S98Builder big;
  big.Device(4, 7987200, 3);
  for (int i = 0; i < 25000; ++i) big.Write(0, 0, 0x28, static_cast<std::uint8_t>(i & 0xF3)).Wait(1);
  big.End().Tag("[S98]title=after a long dump\n");
  struct FifoCase {
    const char* label;
    std::string song;
    std::vector<std::string> options;
  };
  const FifoCase cases[] = {
      {"small", Bytes(S98Builder().Device(5, 3579545).Write(0, 0, 0x28, 0x4A).Wait(3).End().Build()), {"-v"}},
      {"bigger than a block", big.BuildString(), {"-v"}},
      {"its tag read before its dump", big.BuildString(), {"--tags"}},
      {"its tag in JSON lines", big.BuildString(), {"--tags", "--json"}},
  };
  for (const FifoCase& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(work_);
    fs::create_directories(work_ / "copy");
    Place("copy/in.fifo", c.song);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"-o", "expected.txt", "copy/in.fifo"});
    ASSERT_EQ(Run({args}).exitCode, 0);
    const std::string expected = ReadWholeFile((work_ / "expected.txt").string());

    ASSERT_EQ(::mkfifo((work_ / "in.fifo").c_str(), 0644), 0);
    args = c.options;
    args.insert(args.end(), {"-o", "actual.txt", "in.fifo"});
    const pid_t pid = Start({args});
    int writer = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((writer = ::open((work_ / "in.fifo").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(writer, 0);
    ::fcntl(writer, F_SETFL, 0);
    for (std::size_t done = 0; done < c.song.size();) {
      const ssize_t n = ::write(writer, c.song.data() + done, c.song.size() - done);
      if (n <= 0) break;  // the program stopped reading
      done += static_cast<std::size_t>(n);
    }
    ::close(writer);
    const Outcome r = Wait(pid);
    const std::string actual = ReadWholeFile((work_ / "actual.txt").string());
    if (r.exitCode == 0) {
      EXPECT_TRUE(actual == expected) << "success was reported for a report unlike the file's ("
                                      << actual.size() << " bytes, not " << expected.size() << ")";
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_EQ(r.out, "in.fifo\n-> File read error.\n");
    }
  }
}

}  // namespace
}  // namespace tavrin
