// The report-path rule and the name part, shared by the window and the command line.
#include "engine/paths.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

struct PathCase {
  const char* input;
  const char* report;
  const char* name;
};

TEST(PathsTest, ReportPathAndNamePart) {
  const PathCase cases[] = {
      {"/music/a.s98", "/music/a.txt", "a.s98"},
      {"/old.disk/song", "/old.disk/song.txt", "song"},  // the last dot is in a folder name
      {"song.", "song.txt", "song."},
      {"song", "song.txt", "song"},
      {"a.b.s98", "a.b.txt", "a.b.s98"},
      {"dir/.s98", "dir/.txt", ".s98"},
      {"report.txt", "report.txt", "report.txt"},         // the caller must refuse to overwrite it
      {"/music/", "/music/.txt", ""},
      {"x:y\\z.s98", "x:y\\z.txt", "x:y\\z.s98"},          // only '/' separates on POSIX
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReportPathFor(c.input).native(), c.report) << c.input;
    EXPECT_EQ(FileNamePart(c.input), c.name) << c.input;
  }
}

TEST(PathsTest, NamePartKeepsBytesAsTheyAre) {
  // File names are bytes on POSIX; nothing is converted on the way into the report.
  const std::string latin1 = "/m/\xe9t\xe9.s98";
  EXPECT_EQ(FileNamePart(latin1), "\xe9t\xe9.s98");
}

}  // namespace
}  // namespace tavrin
