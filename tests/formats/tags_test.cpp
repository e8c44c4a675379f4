// --tags: the "[ S98 Tag ]" section for version 3 key=value blocks (UTF-8 or Shift-JIS) and older titles.
#include <gtest/gtest.h>

#include "engine/convert.h"
#include "formats/s98/tags.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::Convert;
using testing::S98Builder;
using testing::Section;

std::string TagSection(const S98Builder& file) {
  const std::string report = Convert(file.Build(), ConversionOptions{.tags = true});
  return Section(report, "S98 Tag");
}

S98Builder WithTag(std::uint8_t version, std::string_view tag) {
  S98Builder b;
  b.Version(version).Device(4, 7987200).Write(0, 0, 0x28, 0xF0).Wait(2).End().Tag(tag);
  return b;
}

struct TagCase {
  const char* label;
  std::uint8_t version;
  std::string tag;  // the bytes stored at tagOffset
  std::string section;
};

TEST(TagSectionTest, Blocks) {
  using namespace std::string_literals;
  const TagCase cases[] = {
      {"version 1 Shift-JIS title", '1', "\x83\x65\x83\x58\x83\x67"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = title (version 0 to 2), Shift-JIS\r\n"
       "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\n\r\n"},
      {"version 0 ASCII title", '0', "Opening"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = title (version 0 to 2), Shift-JIS\r\nOpening\r\n\r\n"},
      {"version 3 UTF-8", '3',
       "[S98]\xEF\xBB\xBFtitle=\xE6\x9B\xB2\xE5\x90\x8D\nartist=\xE4\xBD\x9C\xE8\x80\x85\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, UTF-8\r\n"
       "title=\xE6\x9B\xB2\xE5\x90\x8D\r\nartist=\xE4\xBD\x9C\xE8\x80\x85\r\n\r\n"},
      {"version 3 Shift-JIS, code page 932 characters", '3',
       "[S98]title=\x8B\xC8\x96\xBC\ncomment=\x87\x40 \x81\x60 \xB1\xB2\xB3 C:\\dir\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\n"
       "title=\xE6\x9B\xB2\xE5\x90\x8D\r\n"
       "comment=\xE2\x91\xA0 \xEF\xBD\x9E \xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3 C:\\dir\r\n\r\n"},
      {"repeated keys, CR LF, empty line, no final LF", '3',
       "[S98]comment=one\r\n\ncomment=two\nyear=1994"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\n"
       "comment=one\r\ncomment=two\r\nyear=1994\r\n\r\n"},
      {"a CR alone ends a line too", '1', "part one\rpart two\r\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = title (version 0 to 2), Shift-JIS\r\npart one\r\npart two\r\n\r\n"},
      {"missing [S98]", '3', "title=x\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\ntitle=x\r\n"
       "*** the tag block does not start with \"[S98]\"; its lines are shown as they are ***\r\n\r\n"},
      {"cut short: no NUL before the end of the file", '3', "[S98]\xEF\xBB\xBFtitle=abc\nartist=d",
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, UTF-8\r\ntitle=abc\r\nartist=d\r\n"
       "*** the tag block runs to the end of the file without its closing NUL byte ***\r\n\r\n"},
      {"not UTF-8 after the mark", '3', "[S98]\xEF\xBB\xBFtitle=a\xFF\xC3z\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, UTF-8\r\ntitle=a\xEF\xBF\xBD\xEF\xBF\xBDz\r\n"
       "*** 2 bytes could not be read as UTF-8 and are shown as U+FFFD ***\r\n\r\n"},
      {"Shift-JIS lead byte without its trail", '3', "[S98]title=ok\x83"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\ntitle=ok\xEF\xBF\xBD\r\n"
       "*** 1 byte could not be read as Shift-JIS and is shown as U+FFFD ***\r\n\r\n"},
      {"[S98] in an older version", '2', "[S98]title=new\n"s + '\0',
       "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\ntitle=new\r\n\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(TagSection(WithTag(c.version, c.tag)), c.section) << c.label;
}

TEST(TagSectionTest, NoTagAndUnreachableTag) {
  S98Builder none;
  none.Wait(1).End();
  EXPECT_EQ(TagSection(none), "[ S98 Tag ]\r\n(no tag)\r\n\r\n");

  S98Builder far;
  far.Wait(1).End().TagOffset(0x1000);
  EXPECT_EQ(TagSection(far),
            "[ S98 Tag ]\r\nTag Format     = [S98] key=value lines, Shift-JIS\r\n"
            "*** the tag offset lies at or past the end of the file ***\r\n\r\n");
}

// The section stands between the information and the device list, and changes nothing else.
TEST(TagSectionTest, PlaceInTheReport) {
  using namespace std::string_literals;
  const auto bytes = WithTag('3', "[S98]title=x\n"s + '\0').Build();
  const std::string plain = Convert(bytes, {});
  const std::string tagged = Convert(bytes, ConversionOptions{.tags = true});
  const std::string section = Section(tagged, "S98 Tag");
  const auto at = tagged.find(section);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(tagged.substr(0, at) + tagged.substr(at + section.size()), plain);
  EXPECT_EQ(at, plain.find("[ Device List ]"));
}

TEST(TagTextTest, Utf8Validation) {
  struct Case {
    std::string in;
    std::string out;
    std::size_t replaced;
  };
  const Case cases[] = {
      {"plain", "plain", 0},
      {"\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5", 0},                                  // U+1F3B5
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", 2},                                  // overlong '/'
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 3},                  // a surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 4},  // above U+10FFFF
      {"\xE6\x9B", "\xEF\xBF\xBD", 2},  // cut inside a character: one replacement
      {"a\x80"
       "b",
       "a\xEF\xBF\xBD"
       "b",
       1},
  };
  for (const auto& c : cases) {
    std::size_t replaced = 99;
    EXPECT_EQ(ValidUtf8(c.in, replaced), c.out);
    EXPECT_EQ(replaced, c.replaced);
  }
}

}  // namespace
}  // namespace tavrin
