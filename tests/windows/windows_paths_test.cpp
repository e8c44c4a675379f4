// Path rules on Windows: '\\', '/' and ':' separate, Filename is in the code page, arguments are UTF-8.
#include "engine/paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace tavrin {
namespace {

struct WidePathCase {
  const wchar_t* input;
  const wchar_t* report;
  const wchar_t* name;
};

TEST(WindowsPathsTest, BackslashSlashAndColonAllSeparate) {
  const WidePathCase cases[] = {
      {L"C:\\music\\a.s98", L"C:\\music\\a.txt", L"a.s98"},
      {L"C:\\old.disk\\song", L"C:\\old.disk\\song.txt", L"song"},  // the last dot is in a folder name
      {L"song.", L"song.txt", L"song."},
      {L"C:song.s98", L"C:song.txt", L"song.s98"},  // drive-relative: the colon ends the folder part
      {L"C:.s98", L"C:.txt", L".s98"},
      {L"D:", L"D:.txt", L""},
      {L"C:\\music\\", L"C:\\music\\.txt", L""},
      {L"x:y\\z.s98", L"x:y\\z.txt", L"z.s98"},  // the same text is one name on POSIX
      {L"a.b/c", L"a.b/c.txt", L"c"},            // '/' separates as well
      {L"dir/sub\\x.y.s98", L"dir/sub\\x.y.txt", L"x.y.s98"},
      {L"\\\\server\\share.v2\\tune", L"\\\\server\\share.v2\\tune.txt", L"tune"},
      {L"song.s98:alt", L"song.s98:alt.txt", L"alt"},  // a stream name: the colon comes last
      {L"C:\\\u66f2\\\u6b4c.s98", L"C:\\\u66f2\\\u6b4c.txt", L"\u6b4c.s98"},
      {L"report.txt", L"report.txt", L"report.txt"},  // the engine refuses to overwrite it
  };
  for (const auto& c : cases) {
    const std::wstring input = c.input;
    EXPECT_EQ(ReportPathFor(input).native(), c.report) << std::string(input.begin(), input.end());
    EXPECT_EQ(FileNamePart(input), c.name) << std::string(input.begin(), input.end());
  }
}

struct CodePageCase {
  UINT codePage;  // 0: the same on every code page
  const wchar_t* input;
  const char* header;
};

TEST(WindowsPathsTest, HeaderFileNameIsInTheSystemCodePage) {
  const CodePageCase cases[] = {
      {0, L"C:\\music\\song.s98", "song.s98"},
      {0, L"C:song.s98", "song.s98"},
      {0, L"C:\\music\\", ""},
      {1252, L"C:\\music\\caf\u00e9.s98", "caf\xe9.s98"},
      {1252, L"D:caf\u00e9.s98", "caf\xe9.s98"},
      {1252, L"C:\\music\\\u66f2.s98", "?.s98"},  // outside the code page: its default character
      {932, L"C:\\music\\\u66f2.s98", "\x8b\xc8.s98"},
      {932, L"C:\\\u66f2\\\u6b4c.s98", "\x89\xcc.s98"},
  };
  const UINT system = ::GetACP();
  int checked = 0;
  for (const auto& c : cases) {
    if (c.codePage != 0 && c.codePage != system) continue;
    EXPECT_EQ(HeaderFileName(c.input), c.header) << "code page " << system;
    ++checked;
  }
  EXPECT_GE(checked, 3);
  if (checked == 3) GTEST_SKIP() << "no non-ASCII cases for code page " << system << " (only 1252 and 932)";
}

TEST(WindowsPathsTest, ArgumentsAreReadAsUtf8) {
  struct Case {
    const char* argument;
    const wchar_t* path;
  };
  const Case cases[] = {
      {"", L""},
      {"-", L"-"},
      {"C:\\music\\a.s98", L"C:\\music\\a.s98"},
      {"C:caf\xc3\xa9\\\xe6\x9b\xb2.s98", L"C:caf\u00e9\\\u66f2.s98"},
      {"\xe6\xad\x8c/x.s98", L"\u6b4c/x.s98"},
  };
  for (const auto& c : cases) EXPECT_EQ(PathFromArgument(c.argument).native(), c.path) << c.argument;
}

}  // namespace
}  // namespace tavrin
