// --check: each kind of trouble is found at its offset in a file made to have it; a sound file gives nothing.
#include "report/check.h"

#include <gtest/gtest.h>

#include "engine/convert.h"
#include "core/report_sink.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::S98Builder;

std::vector<CheckFinding> Check(const std::vector<std::uint8_t>& bytes, std::string* status = nullptr) {
  std::vector<CheckFinding> findings;
  const std::string s = CheckS98Bytes(bytes, false, findings);
  if (status != nullptr) *status = s;
  EXPECT_TRUE(status != nullptr || s.empty()) << s;
  return findings;
}

std::string Listing(const std::vector<CheckFinding>& findings) {
  std::string text;
  for (const auto& f : findings) text += std::to_string(f.offset) + ": " + f.text + "\n";
  return text;
}

// One OPNA, a loop over a wait, an end command and a proper tag: nothing to find.
S98Builder Sound() {
  S98Builder b;
  b.Device(4, 7987200, 3).Write(0, 0, 0x29, 0x80).LoopHere().Write(0, 1, 0x00, 0xA0).Wait(5).End();
  return b;
}

TEST(CheckTest, SoundFilesHaveNoFindings) {
  using namespace std::string_literals;
  EXPECT_EQ(Listing(Check(Sound().Build())), "");
  EXPECT_EQ(Listing(Check(Sound().Tag("[S98]\xEF\xBB\xBFtitle=x\n"s + '\0').Build())), "");
  EXPECT_EQ(Listing(Check(S98Builder().Version('1').Wait(3).End().Tag("Title"s + '\0').Build())), "");
  // Without records every index is the default OPNA, and #00 is the one a player has.
  EXPECT_EQ(Listing(Check(S98Builder().Write(0, 1, 0x10, 0x01).Wait(1).End().Build())), "");
  // Two-port chips take port 1; a NONE record without writes is the version 2 list end.
  EXPECT_EQ(Listing(Check(S98Builder()
                              .Device(3, 7670454)
                              .Device(9, 14318180)
                              .Device(0, 0)
                              .Write(0, 1, 0x30, 1)
                              .Write(1, 1, 0x05, 1)
                              .Wait(1)
                              .End()
                              .Build())),
            "");
}

struct ProblemCase {
  const char* label;
  std::vector<std::uint8_t> bytes;
  std::uint32_t offset;
  const char* text;  // a part of the finding's text
};

TEST(CheckTest, EachProblemIsFoundWhereItIs) {
  using namespace std::string_literals;
  // Sound(): head 0x20, one record to 0x30, writes at 0x30 and 0x33, wait at 0x36 (2 bytes), end at 0x38.
  const ProblemCase cases[] = {
      {"loop inside a command", Sound().LoopOffset(0x31).Build(), 0x31,
       "not at the start of a command: it falls inside the command at 0x00000030"},
      {"loop before the data", Sound().LoopOffset(0x10).Build(), 0x10, "before the dump data at 0x00000030"},
      {"loop past the end", Sound().LoopOffset(0x39).Build(), 0x39, "past the end of the dump at 0x00000039"},
      {"loop without a wait",
       S98Builder().Wait(2).Write(0, 0, 0x28, 0).LoopHere().Write(0, 0, 0x28, 0xF0).End().Build(), 0x25,
       "no wait between the loop point and the end command"},
      {"commands after the end", Sound().Raw({0xFF, 0x00, 0x28, 0x00}).Build(), 0x39,
       "4 bytes after the end command, before the end of the file"},
      {"a byte between the end and the tag", Sound().Raw({0x00}).Tag("[S98]"s + '\0').Build(), 0x39,
       "1 byte after the end command, before the tag at 0x0000003a"},
      {"tag inside the dump", Sound().TagOffset(0x33).Build(), 0x33, "the tag offset lies inside the dump"},
      {"no end command", S98Builder().Device(4, 7987200).Write(0, 0, 0x28, 0).Wait(1).Build(), 0x34,
       "no end command"},
      {"type 0 written to", S98Builder().Device(0, 0).Write(0, 0, 0x28, 0).End().Build(), 0x30,
       "1 write to device #00 of type 0 NONE, which names no chip"},
      {"type 12 written to",
       S98Builder().Device(12, 0).Wait(1).Write(0, 0, 1, 0).Write(0, 0, 2, 0).End().Build(), 0x31,
       "2 writes to device #00 of type 12 [ UNKNOWN ]"},
      {"unknown code written to", S98Builder().Device(0x53434350, 0).Write(0, 1, 1, 0).End().Build(), 0x30,
       "of type 0x53434350 \"PCCS\" [ UNKNOWN ]"},
      {"unknown code of four letters", S98Builder().Device(0x20434353, 0).Write(0, 0, 1, 0).End().Build(), 0x30,
       "of type 0x20434353 \"SCC \" [ UNKNOWN ]"},
      {"unknown code of unprintable bytes", S98Builder().Device(0x80000011, 0).Write(0, 0, 1, 0).End().Build(),
       0x30, "of type 0x80000011 [ UNKNOWN ], which names no chip"},
      {"index without a record", S98Builder().Device(4, 7987200).Write(2, 0, 0x28, 0).End().Build(), 0x30,
       "1 write to device #02, which has no device record (the file lists 1 device)"},
      {"index past the default device", S98Builder().Wait(1).Write(1, 0, 0x28, 0).End().Build(), 0x21,
       "device #01: a file without device records has only the default OPNA, #00"},
      {"port 1 of a one-port chip",
       S98Builder().Device(5, 3579545).Write(0, 0, 0x08, 0).Write(0, 1, 0x08, 0).End().Build(), 0x33,
       "1 port 1 write to device #00 OPM(YM2151), which has one port"},
      {"port 1 of the DCSG", S98Builder().Device(16, 3579545).Write(0, 1, 0, 0x9F).End().Build(), 0x30,
       "DCSG(SN76489), which has one port"},
      {"count of six bytes", S98Builder().Raw({0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}).End().Build(), 0x20,
       "a wait count of 6 bytes"},
      {"cut inside a write", S98Builder().Wait(1).Raw({0x00, 0x28}).Build(), 0x21,
       "the file ends inside this register write"},
      {"cut inside a count", S98Builder().Wait(1).Raw({0xFE, 0x81}).Build(), 0x21,
       "the file ends inside the count of this wait"},
      {"timer that prints no timestamp", S98Builder().Timer(1, 0x10000000).Wait(1).End().Build(), 0x08,
       "times 3600 is 0 in 32 bits"},
      {"negative timer", S98Builder().Timer(0xFFFFFFFF, 0).Wait(1).End().Build(), 0x04,
       "the timer numerator -1 is negative"},
      {"version byte below \"0\"", S98Builder().Version(0x2F).Wait(1).End().Build(), 0x03,
       "the version byte 0x2f is not \"0\" to \"3\""},
      {"data offset inside the device records", Sound().DataOffset(0x28).Build(), 0x28,
       "the data offset points into the head or the device records"},
      {"data offset past the end", Sound().DataOffset(0x400).Build(), 0x400, "the dump is empty"},
      {"tag offset past the end", Sound().TagOffset(0x400).Build(), 0x400,
       "tag: the tag offset lies at or past the end of the file"},
      {"version 3 tag without [S98]", Sound().Tag("title=x\n"s + '\0').Build(), 0x39,
       "tag: the tag block does not start with \"[S98]\""},
      {"tag that cannot be decoded", Sound().Tag("[S98]\xEF\xBB\xBFtitle=\xFF\n"s + '\0').Build(), 0x39,
       "tag: 1 byte could not be read as UTF-8"},
  };
  for (const auto& c : cases) {
    const auto findings = Check(c.bytes);
    bool found = false;
    for (const auto& f : findings)
      found = found || (f.offset == c.offset && f.text.find(c.text) != std::string::npos);
    EXPECT_TRUE(found) << c.label << "\nwanted " << c.offset << ": " << c.text << "\ngot:\n"
                       << Listing(findings);
  }
}

TEST(CheckTest, RepeatedFindingsAreCapped) {
  S98Builder b;
  for (int i = 0; i < kMaxRepeatedFindings + 5; ++i) b.Raw({0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00});
  const auto findings = Check(b.End().Build());
  ASSERT_EQ(findings.size(), static_cast<std::size_t>(kMaxRepeatedFindings + 1)) << Listing(findings);
  EXPECT_NE(findings.back().text.find("5 more wait counts longer than 5 bytes"), std::string::npos);
}

TEST(CheckTest, FindingsComeInOffsetOrder) {
  const auto findings = Check(Sound().LoopOffset(0x31).Timer(1, 0x10000000).Raw({0xFF}).Build());
  ASSERT_EQ(findings.size(), 3u) << Listing(findings);
  EXPECT_EQ(findings[0].offset, 0x08u);
  EXPECT_EQ(findings[1].offset, 0x31u);
  EXPECT_EQ(findings[2].offset, 0x39u);
}

TEST(CheckTest, RefusedHeadsGiveTheirStatus) {
  std::string status;
  EXPECT_TRUE(Check(S98Builder().Magic("S99").End().Build(), &status).empty());
  EXPECT_EQ(status, kStatusNotS98);
  EXPECT_TRUE(Check(S98Builder().Version('4').End().Build(), &status).empty());
  EXPECT_EQ(status, kStatusVersionError);
  std::vector<CheckFinding> findings;
  EXPECT_EQ(CheckS98Bytes(S98Builder().Version('4').Wait(1).End().Build(), true, findings), "");
  EXPECT_EQ(Listing(findings), "3: the version byte 0x34 is not \"0\" to \"3\"\n");
}

TEST(CheckTest, ListingLines) {
  StringTarget target;
  ReportSink out(target);
  WriteCheckLines(out, "a.s98", "", {{0x31, "first"}, {0x40, "second"}});
  WriteCheckLines(out, "b.s98", kStatusNotS98, {});
  WriteCheckLines(out, "c.s98", "", {});
  out.Flush();
  EXPECT_EQ(target.text,
            "a.s98: 0x00000031: first\na.s98: 0x00000040: second\nb.s98: This is not S98 format.\n");
}

}  // namespace
}  // namespace tavrin
