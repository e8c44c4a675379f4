// The rules the front ends share: clashing reports of a batch, names made printable, stream names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "engine/convert.h"
#include "engine/file_io.h"
#include "engine/paths.h"
#include "tests/support/scratch_folder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class BatchTest : public testing::ScratchFolderTest {};

// Each case: the files that exist, the batch as (input, report) names, and which files are refused.
TEST_F(BatchTest, LaterReportsOnAnEarlierReportOrAnotherInputAreRefused) {
  struct BatchCase {
    const char* label;
    std::vector<std::string> existing;
    std::vector<std::pair<std::string, std::string>> batch;
    std::string refused;  // one letter per file: x refused, . converted
  };
  const BatchCase cases[] = {
      {"distinct reports", {"a.s98", "b.s98"}, {{"a.s98", "a.txt"}, {"b.s98", "b.txt"}}, ".."},
      {"one report for three inputs", {"a.s98", "a.S98", "a.xyz"},
       {{"a.s98", "a.txt"}, {"a.S98", "a.txt"}, {"a.xyz", "a.txt"}}, ".xx"},
      {"report is a later input", {"a.s98", "a.txt"}, {{"a.s98", "a.txt"}, {"a.txt", "a.txt"}}, "x."},
      {"report is an earlier input", {"a.txt", "a.s98"}, {{"a.txt", "a.txt"}, {"a.s98", "a.txt"}}, ".x"},
      {"a missing input is no file to keep", {"a.s98"}, {{"a.s98", "a.txt"}, {"a.txt", "b.txt"}}, ".."},
      {"one file by two names", {"a.s98"}, {{"a.s98", "a.txt"}, {"./sub/../a.s98", "./sub/../a.txt"}}, ".x"},
      {"an existing report reached through a link", {"a.s98", "b.s98", "old.txt"},
       {{"a.s98", "old.txt"}, {"b.s98", "link.txt"}}, ".x"},
      {"a report that is a link to another input", {"a.s98", "b.s98"}, {{"a.s98", "tob.txt"}, {"b.s98", "b.txt"}},
       "x."},
  };
  for (const BatchCase& c : cases) {
    SCOPED_TRACE(c.label);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
    fs::create_directory(dir_ / "sub");
    for (const std::string& name : c.existing) Put(name, "S98");
    fs::create_symlink("old.txt", dir_ / "link.txt");
    fs::create_symlink("b.s98", dir_ / "tob.txt");
    std::vector<BatchFile> batch;
    for (const auto& [input, report] : c.batch) batch.push_back({dir_ / input, dir_ / report});
    std::string refused;
    for (const std::string& status : BatchClashes(batch)) {
      refused += status.empty() ? '.' : 'x';
      if (!status.empty()) {
        EXPECT_EQ(status, kStatusBatchClash);
      }
    }
    EXPECT_EQ(refused, c.refused);
  }
}

TEST(PrintableNameTest, ControlCharactersAndBrokenBytesAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"song.s98", "song.s98"},
      {"曲 ü.s98", "曲 ü.s98"},
      {"a\nb\r\tc.s98", "a\\nb\\r\\tc.s98"},
      {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
      {std::string("nul\0byte", 8), "nul\\x00byte"},
      {"c1 \xc2\x9b csi, \xc2\xa0 kept", "c1 \\xc2\\x9b csi, \xc2\xa0 kept"},
      {"bad\xff \xe3\x81 cut", "bad\\xff \\xe3\\x81 cut"},
      {"\xed\xa0\x80 surrogate", "\\xed\\xa0\\x80 surrogate"},
      {"back\\slash", "back\\\\slash"},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(PrintableName(name), shown) << name;
}

TEST(StreamDescriptorTest, NamesOfThisProcessesStreams) {
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  const std::pair<std::string, int> cases[] = {
      {"-", 1},
      {"/dev/stdout", 1},
      {"/dev/stderr", 2},
      {"/dev/stdin", 0},
      {"/dev/fd/5", 5},
      {"/proc/self/fd/1", 1},
      {"/proc/thread-self/fd/2", 2},
      {own + "7", 7},
      {"/dev/../dev/./stdout", 1},
      {"/proc/1/fd/1", -1},  // another process's stream is a file like any other
      {"/dev/fd/x", -1},
      {"/dev/null", -1},
      {"song.txt", -1},
      {"/proc/self/fd", -1},
  };
  for (const auto& [path, fd] : cases) EXPECT_EQ(StreamDescriptor(path), fd) << path;
}

}  // namespace
}  // namespace tavrin
