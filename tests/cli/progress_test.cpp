// The progress line's text at given moments, and when it is drawn at all.
#include "cli/progress.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin::cli {
namespace {

TEST(ProgressTest, FormatsTheMoment) {
  struct Case {
    ProgressState state;
    std::size_t width;
    std::string expected;
  };
  const Case cases[] = {
      {{3, 38, "song.s98", 47, 100, 12.3e6, 4.2}, 79, "3/38 files  song.s98 47%  12.3 MB/s  0:04 left"},
      // one file: no file count; re-reads after a seek back never pass 100%
      {{0, 1, "song.s98", 150, 100, 999, 3723.0}, 79, "song.s98 100%  999 B/s  1:02:03 left"},
      // standard input from a pipe: bytes instead of a share, no time left
      {{1, 2, "-", 1234567, 0, 617e3, std::nullopt}, 79, "1/2 files  - 1.2 MB  617.0 kB/s"},
      // the name gives way first, from its start, never inside a UTF-8 sequence
      {{3, 38, "music/long/path/\xc3\xa9t\xc3\xa9.s98", 5, 10, 1e6, 75.0},
       47,
       "3/38 files  ...t\xc3\xa9.s98 50%  1.0 MB/s  1:15 left"},
      {{3, 38, "music/long/path/\xc3\xa9t\xc3\xa9.s98", 5, 10, 1e6, 75.0},
       45,
       "3/38 files  ....s98 50%  1.0 MB/s  1:15 left"},
      {{0, 2, "abc", 1, 2, 5, 1.0}, 12, "0/2 files  5"},
      // control characters cannot move the cursor
      {{0, 1, "a\nb\x1b[2J.s98", 0, 9, 0, std::nullopt}, 79, "a?b?[2J.s98 0%  0 B/s"},
      // all done, nothing current
      {{38, 38, "", 0, 0, 2.5e9, 0.0}, 79, "38/38 files  2.5 GB/s  0:00 left"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatProgress(c.state, c.width), c.expected) << c.state.currentName << " in " << c.width;
    EXPECT_LE(FormatProgress(c.state, c.width).size(), c.width);
  }
}

TEST(ProgressTest, DrawnOnlyWhereItHelps) {
  struct Case {
    const char* mode;
    bool errorIsTerminal;
    bool reportOnTerminal;
    bool drawn;
  };
  const Case cases[] = {
      {"auto", true, false, true},   {"auto", false, false, false}, {"auto", true, true, false},
      {"always", false, true, true}, {"never", true, false, false},
  };
  for (const Case& c : cases) {
    const auto mode = ParseProgressMode(c.mode);
    ASSERT_TRUE(mode) << c.mode;
    EXPECT_EQ(WantProgress(*mode, c.errorIsTerminal, c.reportOnTerminal), c.drawn)
        << c.mode << " " << c.errorIsTerminal << c.reportOnTerminal;
  }
  for (const char* wrong : {"", "Auto", "yes", "auto "}) EXPECT_FALSE(ParseProgressMode(wrong)) << wrong;
}

}  // namespace
}  // namespace tavrin::cli
