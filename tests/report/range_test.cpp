// --from/--to/--device: the shown lines are exactly the whole report's lines that the bounds select, byte for
// byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "engine/convert.h"
#include "formats/s98/s98.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::Bytes;
using testing::Convert;
using testing::DumpSection;
using testing::HeadPart;
using testing::S98Builder;
using testing::SplitLines;

// One dump line of the whole report, with what the bounds look at, read back from its text.
struct ReportLine {
  std::string text;
  std::uint32_t offset = 0;
  std::uint64_t ticksBefore = 0;  // the tick count of the last wait line before it
  bool registerLine = false;
  int device = 0;
};

std::uint32_t Hex(std::string_view text) {
  std::uint32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return value;
}

std::vector<ReportLine> ReadDump(const std::string& report) {
  std::vector<ReportLine> lines;
  std::uint64_t ticks = 0;
  for (const std::string& text : SplitLines(DumpSection(report))) {
    if (text.empty()) continue;
    ReportLine line;
    line.text = text;
    line.offset = Hex(std::string_view(text).substr(0, 8));
    const std::uint32_t command = Hex(std::string_view(text).substr(11, 2));
    line.registerLine = command < 0xFD;
    line.device = static_cast<int>(command >> 1);
    line.ticksBefore = ticks;
    if (text.find("[ SYNC") != std::string::npos) {
      const auto open = text.find('(');
      std::from_chars(text.data() + open + 1, text.data() + text.size(), ticks);
    }
    lines.push_back(line);
  }
  return lines;
}

// Whether a place reaches a bound, decided by cross-multiplying (the code under test divides).
bool AtOrAfter(const ReportLine& line, const DumpPoint& point, const S98Header& timer) {
  switch (point.unit) {
    case DumpPoint::Unit::Ticks:
      return line.ticksBefore >= point.value;
    case DumpPoint::Unit::Offset:
      return line.offset >= point.value;
    case DumpPoint::Unit::Seconds: {
      __extension__ using Wide = unsigned __int128;
      return static_cast<Wide>(line.ticksBefore) * static_cast<std::uint32_t>(timer.timerNumerator) *
                 point.scale >=
             static_cast<Wide>(point.value) * static_cast<std::uint32_t>(timer.timerDenominator);
    }
  }
  return false;
}

struct Bounds {
  const char* from;  // null: none
  const char* to;
  const char* devices;
};

// The expected dump section, picked from the whole report's lines.
std::string Expected(const std::string& whole, const Bounds& b, const S98Header& timer) {
  std::string text;
  std::bitset<kDeviceIndexCount> devices;
  if (b.devices != nullptr) ParseDeviceList(b.devices, devices);
  for (const ReportLine& line : ReadDump(whole)) {
    if (b.from != nullptr && !AtOrAfter(line, *ParseDumpPoint(b.from), timer)) continue;
    if (b.to != nullptr && AtOrAfter(line, *ParseDumpPoint(b.to), timer)) continue;
    const bool loopPoint = line.text.ends_with(" *** LOOP POINT ***");
    if (b.devices != nullptr && line.registerLine && !loopPoint &&
        !devices[static_cast<std::size_t>(line.device)]) {
      continue;
    }
    text += line.text + "\r\n";
  }
  return text;
}

S98Header TimerOf(const std::vector<std::uint8_t>& bytes) {
  S98Header h = ParseHeader(bytes.data());
  if (h.timerNumerator == 0) h.timerNumerator = 10;
  if (h.timerDenominator == 0) h.timerDenominator = 1000;
  return h;
}

ConversionOptions WithBounds(ConversionOptions options, const Bounds& b) {
  if (b.from != nullptr) options.selection.from = ParseDumpPoint(b.from);
  if (b.to != nullptr) options.selection.to = ParseDumpPoint(b.to);
  if (b.devices != nullptr)
    options.selection.deviceFilter = ParseDeviceList(b.devices, options.selection.devices);
  return options;
}

// An OPNA and an OPM at 10 ms ticks: pairs of registers written on both sides of every bound, so an
// annotation that forgot the writes before the window would read differently.
std::vector<std::uint8_t> TwoChips() {
  S98Builder b;
  b.Device(4, 7987200, 3).Device(5, 3579545, 3);
  for (int bar = 0; bar < 6; ++bar) {
    b.Write(0, 0, 0xA4, static_cast<std::uint8_t>(0x20 + bar)).Wait(7);
    b.Write(0, 0, 0xA0, static_cast<std::uint8_t>(0x40 + bar)).Write(0, 0, 0x28, 0xF0);
    if (bar == 2) b.LoopHere();  // on an OPM write: kept when only the OPNA is chosen
    b.Write(1, 0, 0x28, static_cast<std::uint8_t>(0x40 + bar)).Write(1, 0, 0x30, 0x10);
    b.Wait(1).Write(1, 0, 0x08, 0x78).Wait(130).Write(0, 1, 0x00, 0xA0).Write(0, 0, 0x28, 0x00).Wait(50);
  }
  return b.End().Build();
}

// DCSG and OPLL on a 1/60 s timer, without an end command.
std::vector<std::uint8_t> SixtyHertz() {
  S98Builder b;
  b.Timer(1, 60).Device(16, 3579545).Device(6, 3579545);
  for (int i = 0; i < 40; ++i) {
    b.Write(0, 0, 0, static_cast<std::uint8_t>(0x80 | (i & 15)))
        .Write(0, 0, 0, static_cast<std::uint8_t>(i & 0x3F));
    b.Write(1, 0, 0x10, static_cast<std::uint8_t>(i * 3))
        .Write(1, 0, 0x20, static_cast<std::uint8_t>(0x10 | (i & 7)));
    b.Wait(static_cast<std::uint32_t>(1 + i % 5));
  }
  return b.Build();
}

const Bounds kBounds[] = {
    {nullptr, nullptr, nullptr},  // everything: the whole dump
    {"0.5", nullptr, nullptr},
    {nullptr, "1", nullptr},
    {"0.07", "0.9", nullptr},
    {"1.88", "2.5", nullptr},
    {"0:00:01.5", "0:02", nullptr},
    {"7t", "200t", nullptr},
    {"0x60", "0x90", nullptr},
    {"0x61", nullptr, nullptr},  // inside a command: starts at the next one
    {"1", "0x90", nullptr},      // kinds mixed
    {nullptr, nullptr, "1"},
    {nullptr, nullptr, "0"},
    {"0.5", "3", "0,1"},
    {"1", "0x100", "1"},
    {"2", "1", nullptr},         // from after to: nothing
    {"9999", nullptr, nullptr},  // after the end: nothing
    {nullptr, nullptr, "5"},     // a device that writes nothing: only waits and the end
};

void ExpectRangesMatchWhole(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  const S98Header timer = TimerOf(bytes);
  // With --stats the walk goes on past the window, so the bounds are tested without the early stop too.
  for (ConversionOptions base : {ConversionOptions{}, ConversionOptions{.verbose = true},
                                 ConversionOptions{.verbose = true, .notes = true},
                                 ConversionOptions{.verbose = true, .stats = true}}) {
    const std::string whole = Convert(bytes, base, name);
    for (const Bounds& b : kBounds) {
      const std::string part = Convert(bytes, WithBounds(base, b), name);
      const std::string label = name + " from " + (b.from ? b.from : "-") + " to " + (b.to ? b.to : "-") +
                                " devices " + (b.devices ? b.devices : "-") + (base.verbose ? " -v" : "") +
                                (base.stats ? " --stats" : "");
      EXPECT_EQ(HeadPart(part), HeadPart(whole)) << label;
      EXPECT_EQ(DumpSection(part), Expected(whole, b, timer)) << label;
    }
  }
}

TEST(RangeTest, BuiltFilesShowTheirWholeReportsLines) {
  ExpectRangesMatchWhole(TwoChips(), "two.s98");
  ExpectRangesMatchWhole(SixtyHertz(), "sixty.s98");
}

TEST(RangeTest, CorpusFilesShowTheirWholeReportsLines) {
  const std::filesystem::path corpus = TAVRIN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const char* names[] = {
      "denjhang__Modular-multi-chip-hardware-chiptune-Player__opna_8000000_rhythm-lr.s98",
      "denjhang__Modular-multi-chip-hardware-chiptune-Player__opl3_waveselect_14318180_ch1-a_1000.s98",
      "denjhang__Modular-multi-chip-hardware-chiptune-Player__opll_intinst_3579545_ch1_1000.s98",
      "BouKiCHi__snddrv.js__psg.s98",
  };
  for (const char* n : names) {
    const auto bytes = testing::ReadBytes(corpus / n);
    ASSERT_FALSE(bytes.empty()) << n;
    ExpectRangesMatchWhole(bytes, n);
  }
}

// A window in the middle of a long file: the OPNA F-number annotation needs the block written long before.
TEST(RangeTest, AnnotationsCarryStateFromBeforeTheWindow) {
  S98Builder b;
  b.Device(4, 7987200, 3).Write(0, 0, 0xA4, 0x22).Wait(100).Write(0, 0, 0xA0, 0x69).End();
  const auto bytes = b.Build();
  ConversionOptions options{.verbose = true};
  options.selection.from = ParseDumpPoint("1");
  const std::string part = Convert(bytes, options);
  const std::string whole = Convert(bytes, ConversionOptions{.verbose = true});
  const std::vector<std::string> lines = SplitLines(DumpSection(part));
  ASSERT_EQ(lines.size(), 2u);  // the A0 write and the end
  EXPECT_NE(whole.find(lines[0] + "\r\n"), std::string::npos);
  EXPECT_NE(lines[0].find("$269"), std::string::npos) << lines[0];  // block 4, F-number 0x269
}

TEST(RangeTest, SelectingNothingLeavesAnEmptyDumpSection) {
  ConversionOptions options;
  options.selection.from = ParseDumpPoint("0x10000");
  const std::string report = Convert(TwoChips(), options);
  EXPECT_TRUE(report.ends_with("[ Dump Data ]\r\n")) << report;
}

TEST(RangeTest, TimeRangeOnANegativeTimerIsRefused) {
  ConversionOptions options;
  options.selection.from = ParseDumpPoint("1");
  const auto bytes = S98Builder().Timer(0xFFFFFFF6u, 1000).Wait(2).End().Build();
  std::string report = "left over";
  EXPECT_EQ(ConvertS98Bytes(bytes, "t.s98", options, report), kStatusTimeNeedsTimer);
  EXPECT_EQ(report, "");
  options.selection.from = ParseDumpPoint("1t");  // ticks need no timer
  EXPECT_EQ(ConvertS98Bytes(bytes, "t.s98", options, report), "");
}

}  // namespace
}  // namespace tavrin
