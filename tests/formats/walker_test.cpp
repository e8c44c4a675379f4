// The report layout and the dump walk: header fields, device list, every kind of dump line and its edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::S98Builder;

std::string Convert(const std::vector<std::uint8_t>& bytes, bool verbose = false, std::string* status = nullptr) {
  std::string report;
  const std::string s = ConvertS98Bytes(bytes, "t.s98", ConversionOptions{.verbose = verbose}, report);
  if (status != nullptr) *status = s;
  return report;
}

// The lines of the dump section, without their CR LF.
std::vector<std::string> DumpLines(const std::string& report) {
  const std::string marker = "[ Dump Data ]\r\n";
  const auto at = report.find(marker);
  std::vector<std::string> lines;
  if (at == std::string::npos) return lines;
  std::string rest = report.substr(at + marker.size());
  for (std::size_t pos = 0; pos < rest.size();) {
    const auto end = rest.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(rest.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

TEST(WalkerTest, WorkedExampleByteForByte) {
  const auto bytes = S98Builder()
                         .Raw({0x00, 0x29, 0x80})
                         .LoopHere()
                         .Raw({0xFF, 0xFE, 0x01, 0x01, 0x07, 0x38, 0xFD})
                         .Build();
  std::string report;
  ASSERT_EQ(ConvertS98Bytes(bytes, "song.s98", {}, report), "");
  EXPECT_EQ(report,
            "[ S98 Information ]\r\n"
            "Filename       = song.s98\r\n"
            "Format Version = 3\r\n"
            "Timer Period   = 10/1000 (10.000000 msec)\r\n"
            "Tag Offset     = 0x00000000 (no tag)\r\n"
            "Data Offset    = 0x00000020\r\n"
            "Loop Offset    = 0x00000023\r\n"
            "Device Count   = 0\r\n"
            "\r\n"
            "[ Device List ]\r\n"
            "#01 OPNA(YM2608)     Clock: 7987200Hz  PAN: 11111111\r\n"
            "\r\n"
            "[ Dump Data ]\r\n"
            "00000020 : 00 29 80\t[ #00 OPNA(YM2608) ] \r\n"
            "00000023 : ff \t\t[ SYNC 1 (1)]\t00:00:00.010 *** LOOP POINT ***\r\n"
            "00000024 : fe 01 \t[ SYNC 3 (4) ]\t00:00:00.040\r\n"
            "00000026 : 01 07 38\t[ #00 OPNA(YM2608) ] \r\n"
            "00000029 : fd \t\t[ LOOP OFFSET=00000023 ]\r\n");
}

struct WaitCase {
  std::vector<std::uint8_t> bytes;
  const char* line;
};

TEST(WalkerTest, WaitCounts) {
  const WaitCase cases[] = {
      {{0xFE, 0x00}, "00000020 : fe 00 \t[ SYNC 2 (2) ]\t00:00:00.020"},
      {{0xFE, 0x7F}, "00000020 : fe 7f \t[ SYNC 129 (129) ]\t00:00:01.290"},
      {{0xFE, 0x80, 0x01}, "00000020 : fe 80 01 \t[ SYNC 130 (130) ]\t00:00:01.300"},
      {{0xFE, 0xFF, 0x01}, "00000020 : fe ff 01 \t[ SYNC 257 (257) ]\t00:00:02.570"},
      // Six groups: the shift runs past 31 and wraps modulo 32; bits beyond bit 31 are lost.
      {{0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01},
       "00000020 : fe 80 80 80 80 80 01 \t[ SYNC 10 (10) ]\t00:00:00.100"},
      {{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, "00000020 : fe ff ff ff ff 0f \t[ SYNC 1 (1) ]\t00:00:00.010"},
  };
  for (const auto& c : cases) {
    const auto lines = DumpLines(Convert(S98Builder().Raw(c.bytes).End().Build()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], c.line);
  }
}

// The walker holds at most a few thousand count bytes; longer counts are read again from the input
// when their line is written, from memory or from a file, as text and as JSON.
TEST(WalkerTest, LongWaitCountsAreWrittenWhole) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "tavrin-long-count.s98";
  for (const std::size_t length : {std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
                                   std::size_t{20000}}) {
    std::vector<std::uint8_t> count(length, 0x80);
    count.back() = 0x01;
    // Groups of 7 bits at shifts 0, 7, 14, ... taken modulo 32: only the last group is non-zero.
    const std::uint32_t ticks = (1u << ((7 * (length - 1)) % 32)) + 2u;
    std::vector<std::uint8_t> raw(length + 1, 0xFE);
    std::copy(count.begin(), count.end(), raw.begin() + 1);
    const auto bytes = S98Builder().Raw(raw).Wait(1).End().Build();
    std::string textBytes = "00000020 : fe ";
    std::string jsonBytes = "\"bytes\":\"fe";
    for (const std::uint8_t b : count) {
      textBytes += b == 0x80 ? "80 " : "01 ";
      jsonBytes += b == 0x80 ? "80" : "01";
    }
    const std::string sync = "\t[ SYNC " + std::to_string(static_cast<std::int32_t>(ticks)) + " (" +
                             std::to_string(static_cast<std::int32_t>(ticks)) + ") ]\t";
    {
      std::ofstream out(file, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    for (const bool json : {false, true}) {
      ConversionOptions options;
      options.format = json ? ReportFormat::JsonLines : ReportFormat::Text;
      std::string inMemory;
      ASSERT_EQ(ConvertS98Bytes(bytes, "t.s98", options, inMemory), "") << length;
      const std::filesystem::path report = file.string() + (json ? ".jsonl" : ".txt");
      ASSERT_EQ(ConvertS98File(file, report, options), "") << length;
      std::string fromFile;
      {
        std::ifstream in(report, std::ios::binary);  // closed before the file is removed (Windows)
        fromFile.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
      // Everything after the line that names the file is the same, whichever way the bytes came.
      const auto afterName = [json](const std::string& text) {
        return text.substr(text.find(json ? "\n" : "Format Version"));
      };
      EXPECT_TRUE(afterName(fromFile) == afterName(inMemory)) << length;
      if (json) {
        EXPECT_NE(inMemory.find(jsonBytes + "\",\"kind\":\"wait\""), std::string::npos) << length;
      } else {
        const auto lines = DumpLines(inMemory);
        ASSERT_EQ(lines.size(), 3u) << length;
        EXPECT_EQ(lines[0].substr(0, textBytes.size() + sync.size()), textBytes + sync) << length;
        // The walk went on right after the count: the next command's offset follows it.
        char next[32];
        std::snprintf(next, sizeof next, "%08x : ff ", static_cast<unsigned>(0x21 + length));
        EXPECT_EQ(lines[1].rfind(next, 0), 0u) << lines[1];
      }
      std::filesystem::remove(report);
    }
  }
  std::filesystem::remove(file);
}

TEST(WalkerTest, TicksAndTimestampsAccumulate) {
  S98Builder hundred;
  for (int i = 0; i < 100; ++i) hundred.Wait(1);
  auto lines = DumpLines(Convert(hundred.Build()));
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines[99], "00000083 : ff \t\t[ SYNC 1 (100)]\t00:00:01.000");

  lines = DumpLines(Convert(S98Builder().Wait(360000).Build()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "00000020 : fe be fc 15 \t[ SYNC 360000 (360000) ]\t01:00:00.000");

  S98Builder sixty;
  sixty.Timer(1, 60);
  for (int i = 0; i < 61; ++i) sixty.Wait(1);
  lines = DumpLines(Convert(sixty.Build()));
  ASSERT_EQ(lines.size(), 61u);
  EXPECT_EQ(lines[59], "0000005b : ff \t\t[ SYNC 1 (60)]\t00:00:01.000");
  EXPECT_EQ(lines[60], "0000005c : ff \t\t[ SYNC 1 (61)]\t00:00:01.001");
}

TEST(WalkerTest, LoopMarkerOnEveryKindOfLine) {
  struct LoopCase {
    std::vector<std::uint8_t> dump;
    const char* line;
  };
  const LoopCase cases[] = {
      {{0x00, 0x22, 0x08}, "00000020 : 00 22 08\t[ #00 OPNA(YM2608) ]  *** LOOP POINT ***"},
      {{0xFF}, "00000020 : ff \t\t[ SYNC 1 (1)]\t00:00:00.010 *** LOOP POINT ***"},
      {{0xFE, 0x03}, "00000020 : fe 03 \t[ SYNC 5 (5) ]\t00:00:00.050 *** LOOP POINT ***"},
      {{0xFD}, "00000020 : fd \t\t[ LOOP OFFSET=00000020 ] *** LOOP POINT ***"},
      {{0x00, 0x22}, "00000020 : 00  *** LOOP POINT ***"},       // register write cut by the end of file
      {{0xFE, 0x80, 0x81}, "00000020 : fe 80 81  *** LOOP POINT ***"},  // 0xFE count cut by the end of file
  };
  for (const auto& c : cases) {
    const auto lines = DumpLines(Convert(S98Builder().LoopHere().Raw(c.dump).Build()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.line);
  }
  // A loop offset of 0 marks nothing, and the end line says END.
  const auto lines = DumpLines(Convert(S98Builder().End().Build()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "00000020 : fd \t\t[ END ]");
}

TEST(WalkerTest, EndOfInputAndEndBound) {
  // A cut register write ends the walk; nothing after it is read.
  auto lines = DumpLines(Convert(S98Builder().Write(0, 0, 0x28, 0x01).Raw({0x01}).Build()));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "00000023 : 01 ");

  // Without an end command the walk stops at the first command at or after a tag placed after the data.
  const auto tagged = S98Builder().Wait(1).Wait(1).Tag("[S98]title=x\n").Build();
  lines = DumpLines(Convert(tagged));
  EXPECT_EQ(lines.size(), 2u);

  // A command that starts before the tag is read in full even if it reaches into it.
  auto reaching = S98Builder().Wait(1).Write(0, 0, 0x28, 0x01).TagOffset(0x22).Build();
  lines = DumpLines(Convert(reaching));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "00000021 : 00 28 01\t[ #00 OPNA(YM2608) ] ");

  // A tag offset not after the data does not bound the dump.
  lines = DumpLines(Convert(S98Builder().Wait(1).Wait(1).TagOffset(0x10).Build()));
  EXPECT_EQ(lines.size(), 2u);
}

TEST(WalkerTest, DataOffsetOutsideTheFileGivesAnEmptyDump) {
  for (std::uint32_t offset : {0x1000u, 0x80000000u, 0xFFFFFFFFu}) {
    std::string status = "unset";
    const std::string report = Convert(S98Builder().DataOffset(offset).Wait(1).Build(), false, &status);
    EXPECT_EQ(status, "");
    EXPECT_TRUE(report.ends_with("[ Dump Data ]\r\n")) << offset;
  }
}

TEST(WalkerTest, HeaderFieldsPrintSignedAndWithDefaults) {
  const auto bytes = S98Builder()
                         .Timer(0xFFFFFFF6, 0)  // -10 over the default 1000
                         .Device(4, 0xFFFFFFFB, 0x1F3)
                         .Device(12, 4000000, 0)
                         .Device(0xFFFFFFFF, 0, 0xFF)
                         .TagOffset(0x80000000)
                         .LoopOffset(0xFFFFFFFF)
                         .End()
                         .Build();
  const std::string report = Convert(bytes);
  EXPECT_NE(report.find("Timer Period   = -10/1000 (-10.000000 msec)\r\n"), std::string::npos);
  EXPECT_NE(report.find("Tag Offset     = 0x80000000\r\n"), std::string::npos);
  EXPECT_NE(report.find("Loop Offset    = 0xffffffff\r\n"), std::string::npos);
  EXPECT_NE(report.find("#01 OPNA(YM2608)     Clock: -5Hz  PAN: 11110011\r\n"), std::string::npos);
  EXPECT_NE(report.find("#02 [ UNKNOWN ]      Clock: 4000000Hz  PAN: 00000000\r\n"), std::string::npos);
  EXPECT_NE(report.find("#03 [ UNKNOWN ]      Clock: 0Hz  PAN: 11111111\r\n"), std::string::npos);
  EXPECT_NE(report.find("[ LOOP OFFSET=ffffffff ]"), std::string::npos);

  // 1/60 timer, version byte 0 (passes: below "0"), written as stored.
  std::string status;
  const std::string sixty = Convert(S98Builder().Version(0).Timer(1, 60).End().Build(), false, &status);
  EXPECT_EQ(status, "");
  EXPECT_NE(sixty.find(std::string("Format Version = \0\r\n", 20)), std::string::npos);
  EXPECT_NE(sixty.find("Timer Period   = 1/60 (16.666667 msec)\r\n"), std::string::npos);
}

TEST(WalkerTest, DevicesOfCommands) {
  // Without records every device index is the default OPNA; with records, an index past them is unknown.
  auto lines = DumpLines(Convert(S98Builder().Write(5, 1, 0x10, 0x01).End().Build()));
  EXPECT_EQ(lines[0], "00000020 : 0b 10 01\t[ #05 OPNA(YM2608) ] ");
  lines = DumpLines(Convert(S98Builder().Device(5, 3579545).Write(1, 0, 0x28, 0x4A).Raw({0xFC, 0x01, 0x02}).Build(), true));
  EXPECT_EQ(lines[0], "00000030 : 02 28 4a\t[ #01 [ UNKNOWN ] ] ");
  EXPECT_EQ(lines[1], "00000033 : fc 01 02\t[ #126 [ UNKNOWN ] ] ");
}

TEST(WalkerTest, DecodersRunOnlyWithVerboseAndOnlyForKnownFamilies) {
  const auto bytes = S98Builder().Device(12, 1000).Device(4, 7987200).Write(0, 0, 0x28, 0xF0).Write(1, 0, 0x28, 0xF0).Build();
  const auto plain = DumpLines(Convert(bytes, false));
  const auto verbose = DumpLines(Convert(bytes, true));
  EXPECT_EQ(plain[0], "00000040 : 00 28 f0\t[ #00 [ UNKNOWN ] ] ");
  EXPECT_EQ(verbose[0], plain[0]);  // type 12 has no decoder
  EXPECT_EQ(plain[1], "00000043 : 02 28 f0\t[ #01 OPNA(YM2608) ] ");
  EXPECT_TRUE(verbose[1].starts_with(plain[1]));
  EXPECT_GT(verbose[1].size(), plain[1].size());
}

TEST(WalkerTest, ATimerThatCannotBeDividedPrintsPlaceholders) {
  const auto lines = DumpLines(Convert(S98Builder().Timer(1, 0x10000000).Wait(1).End().Build()));
  EXPECT_EQ(lines[0], "00000020 : ff \t\t[ SYNC 1 (1)]\t--:--:--.---");
}

TEST(WalkerTest, EachConversionStartsFromZeroState) {
  // The same bytes give the same report whatever was converted before.
  const auto first = S98Builder().Write(0, 0, 0xA4, 0x22).Write(0, 0, 0x24, 0xFF).End().Build();
  const auto second = S98Builder().Write(0, 0, 0xA0, 0x69).Write(0, 0, 0x25, 0x01).End().Build();
  const std::string alone = Convert(second, true);
  Convert(first, true);
  EXPECT_EQ(Convert(second, true), alone);
}

}  // namespace
}  // namespace tavrin
