// Hostile input: every truncation of samples, hand-made hostile heads and streams, fuzzer finds replayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/convert.h"
#include "fuzz/conversion_oracle.h"
#include "tests/support/golden.h"
#include "tests/support/s98_builder.h"
#include "tests/support/scratch_folder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::S98Builder;
using Bytes = std::vector<std::uint8_t>;

struct Result {
  std::string status;
  std::string report;
};

Result Convert(const Bytes& bytes, const ConversionOptions& options) {
  Result r;
  r.report = "stale text from an earlier use";
  r.status = ConvertS98Bytes(bytes, "hostile.s98", options, r.report);
  return r;
}

// -v, -f and --notes in all eight combinations: none of them may change whether a file is safe.
std::vector<ConversionOptions> AllOptions() {
  std::vector<ConversionOptions> all;
  for (int bits = 0; bits < 8; ++bits) {
    ConversionOptions o;
    o.verbose = (bits & 1) != 0;
    o.skipVersionCheck = (bits & 2) != 0;
    o.notes = (bits & 4) != 0;
    all.push_back(o);
  }
  return all;
}

std::string Describe(const ConversionOptions& o) {
  return std::string(o.verbose ? " -v" : "") + (o.skipVersionCheck ? " -f" : "") +
         (o.notes ? " --notes" : "");
}

constexpr std::string_view kDumpMarker = "\r\n[ Dump Data ]\r\n";

// One line of the dump section: its offset and the raw bytes it echoes.
struct DumpLine {
  std::uint32_t offset = 0;
  std::size_t length = 0;  // raw bytes shown, command byte included
  std::string text;
};

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

DumpLine ParseDumpLine(const std::string& text) {
  DumpLine line;
  line.text = text;
  if (text.size() < 14 || text.compare(8, 3, " : ") != 0) {
    ADD_FAILURE() << "not a dump line: " << text;
    return line;
  }
  line.offset = static_cast<std::uint32_t>(std::stoul(text.substr(0, 8), nullptr, 16));
  // Raw bytes are "%02x " each; the value byte of a register write is followed by a TAB instead.
  for (std::size_t i = 11; i + 1 < text.size() && IsHexDigit(text[i]) && IsHexDigit(text[i + 1]); i += 3) {
    ++line.length;
    if (i + 2 >= text.size() || text[i + 2] != ' ') break;
  }
  return line;
}

// The text before the dump lines, and the dump lines; checks that every line ends with CR LF.
struct Sections {
  std::string head;
  std::vector<DumpLine> dump;
};

Sections Split(const std::string& report) {
  Sections s;
  const auto at = report.find(kDumpMarker);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no dump section";
    return s;
  }
  s.head = report.substr(0, at + kDumpMarker.size());
  const std::string rest = report.substr(s.head.size());
  for (std::size_t pos = 0; pos < rest.size();) {
    const auto end = rest.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the report does not end with CR LF: " << rest.substr(pos);
      break;
    }
    s.dump.push_back(ParseDumpLine(rest.substr(pos, end - pos)));
    pos = end + 2;
  }
  return s;
}

// What holds for every report: it ends with CR LF, the walk starts at the data offset, and each
// command starts where the one before it ended; only the last line may be a command cut short.
void CheckWalk(const std::string& report, std::uint32_t dataOffset) {
  ASSERT_TRUE(report.starts_with("[ S98 Information ]\r\nFilename       = hostile.s98\r\n"));
  ASSERT_TRUE(report.ends_with("\r\n"));
  const Sections s = Split(report);
  if (s.dump.empty()) return;
  EXPECT_EQ(s.dump.front().offset, dataOffset);
  for (std::size_t i = 1; i < s.dump.size(); ++i) {
    EXPECT_EQ(s.dump[i].offset, s.dump[i - 1].offset + s.dump[i - 1].length) << s.dump[i].text;
  }
  for (std::size_t i = 0; i + 1 < s.dump.size(); ++i) {
    EXPECT_NE(s.dump[i].text.find('['), std::string::npos) << "cut line before the last: " << s.dump[i].text;
  }
}

std::uint32_t StoredDataOffset(const Bytes& bytes) {
  return static_cast<std::uint32_t>(bytes[20] | bytes[21] << 8 | bytes[22] << 16) |
         static_cast<std::uint32_t>(bytes[23]) << 24;
}

// ---------------------------------------------------------------------------------------------
// Every prefix of a sample file: the head decides the status, and the dump shows exactly the
// commands that start inside the prefix, the complete ones as in the whole file's report.

Bytes EveryFamilySample() {
  S98Builder b;
  b.Device(4, 7987200, 0x03)
      .Device(5, 3579545, 0x03)
      .Device(16, 3579545)
      .Device(9, 14318180, 0x03)
      .Device(6, 3579545)
      .Device(3, 7670453, 0x03)
      .Device(1, 2000000)
      .Device(7, 3579545);
  b.Write(0, 0, 0x29, 0x80)
      .Write(0, 0, 0xA4, 0x22)
      .Write(0, 0, 0xA0, 0x69)
      .Write(0, 0, 0x28, 0xF0)
      .Write(0, 0, 0x10, 0x01)
      .Write(0, 1, 0x01, 0xC0)
      .LoopHere()
      .Wait(1)
      .Write(1, 0, 0x20, 0xC7)
      .Write(1, 0, 0x28, 0x4A)
      .Write(1, 0, 0x08, 0x78)
      .Wait(200)  // a two-byte count
      .Write(2, 0, 0x00, 0x8E)
      .Write(2, 0, 0x00, 0x0F)
      .Write(2, 0, 0x00, 0x90)
      .Write(3, 1, 0x05, 0x01)
      .Write(3, 0, 0xA0, 0x41)
      .Write(3, 0, 0xB0, 0x2D)
      .Wait(20000)  // a three-byte count
      .Write(4, 0, 0x30, 0x15)
      .Write(4, 0, 0x10, 0xAB)
      .Write(4, 0, 0x20, 0x3B)
      .Write(5, 1, 0xA5, 0x22)
      .Write(5, 1, 0xA1, 0x69)
      .Write(5, 0, 0x28, 0xF5)
      .Write(6, 0, 0x00, 0xFE)
      .Write(6, 0, 0x08, 0x0F)
      .Write(7, 0, 0xA0, 0x41)
      .Write(7, 0, 0xB0, 0x2D)
      .Wait(2)
      .End()
      .Tag("[S98]title=every family\n");
  return b.Build();
}

// No device records, the loop at the first command, and a four-byte wait right before the end.
Bytes DefaultDeviceSample() {
  return S98Builder()
      .LoopHere()
      .Write(0, 0, 0x07, 0x38)
      .Write(0, 0, 0x08, 0x0F)
      .Write(0, 0, 0x00, 0x1C)
      .Wait(3000000)
      .Write(63, 1, 0x10, 0x80)
      .Wait(1)
      .End()
      .Build();
}

// No end command: the tag bounds the walk, and the last command reaches into the tag.
Bytes TagBoundSample() {
  S98Builder b;
  b.Device(5, 3579545).Write(0, 0, 0x28, 0x3E).Wait(7).Write(0, 0, 0x08, 0x78);
  const std::uint32_t lastAt = b.NextOffset();
  b.Write(0, 0, 0x30, 0x40).Tag("tag bytes that are never walked");
  return b.TagOffset(lastAt + 1).Build();
}

TEST(HostileTest, EveryPrefixOfSampleFiles) {
  const std::pair<const char*, Bytes> samples[] = {
      {"every family", EveryFamilySample()},
      {"default device", DefaultDeviceSample()},
      {"bounded by its tag", TagBoundSample()},
  };
  for (const auto& [label, whole] : samples) {
    const std::uint32_t deviceCount = whole[28];
    const std::size_t headSize = 32 + 16 * deviceCount;
    for (const ConversionOptions& options : AllOptions()) {
      SCOPED_TRACE(std::string(label) + Describe(options));
      const Result full = Convert(whole, options);
      ASSERT_EQ(full.status, "");
      const Sections fullSections = Split(full.report);
      ASSERT_GE(fullSections.dump.size(), 4u);

      for (std::size_t size = 0; size <= whole.size(); ++size) {
        SCOPED_TRACE("first " + std::to_string(size) + " bytes");
        const Result cut = Convert(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)), options);
        if (size < headSize) {
          EXPECT_EQ(cut.status, kStatusFileReadError);
          EXPECT_EQ(cut.report, "");
          continue;
        }
        ASSERT_EQ(cut.status, "");
        CheckWalk(cut.report, StoredDataOffset(whole));
        const Sections s = Split(cut.report);
        EXPECT_EQ(s.head, fullSections.head);

        // As many lines as commands that start inside the prefix.
        std::size_t expected = 0;
        while (expected < fullSections.dump.size() && fullSections.dump[expected].offset < size) ++expected;
        ASSERT_EQ(s.dump.size(), expected);
        for (std::size_t i = 0; i < expected; ++i) {
          const DumpLine& whole_line = fullSections.dump[i];
          if (whole_line.offset + whole_line.length <= size) {
            EXPECT_EQ(s.dump[i].text, whole_line.text);
            continue;
          }
          // The command is cut: the line is its last, shows what could be read and keeps its marker.
          ASSERT_EQ(i, expected - 1);
          const std::size_t available = size - whole_line.offset;
          const bool isWait = whole_line.text.compare(11, 2, "fe") == 0;
          std::string line = whole_line.text.substr(0, 11 + 3 * (isWait ? available : 1));
          if (whole_line.text.ends_with(" *** LOOP POINT ***")) line += " *** LOOP POINT ***";
          EXPECT_EQ(s.dump[i].text, line);
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Hand-made hostile heads and streams, each with what the report must show.

struct HostileCase {
  using Check = std::function<void(const std::string& report, const ConversionOptions& options)>;
  HostileCase(const char* label_, Bytes bytes_, std::string_view status_,
              std::optional<std::string_view> forcedStatus_ = std::nullopt, int dumpLines_ = -1,
              Check check_ = {})
      : label(label_),
        bytes(std::move(bytes_)),
        status(status_),
        forcedStatus(forcedStatus_),
        dumpLines(dumpLines_),
        check(std::move(check_)) {}

  const char* label;
  Bytes bytes;
  std::string_view status;                       // without -f
  std::optional<std::string_view> forcedStatus;  // with -f, when it differs
  int dumpLines;                                 // -1: not checked
  Check check;
};

bool Has(const std::string& report, std::string_view text) { return report.find(text) != std::string::npos; }

std::vector<std::string> DumpTexts(const std::string& report) {
  std::vector<std::string> texts;
  for (const DumpLine& line : Split(report).dump) texts.push_back(line.text);
  return texts;
}

Bytes Repeat(std::initializer_list<std::uint8_t> unit, int times) {
  Bytes bytes;
  for (int i = 0; i < times; ++i) bytes.insert(bytes.end(), unit);
  return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Hex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15], ' '};
  return text;
}

std::vector<HostileCase> HostileCases() {
  std::vector<HostileCase> cases;
  const auto simple = [] { return S98Builder().Write(0, 0, 0x28, 0xF0).Wait(1).Write(0, 0, 0x28, 0x00); };

  // Device counts the record buffer cannot hold are refused before anything is read past the head.
  for (std::uint32_t count : {65u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    cases.push_back(
        {"device count too big", simple().DeviceCount(count).End().Build(), kStatusTooManyDevices});
  }
  // The version is checked first; -f lets the device count be checked next.
  cases.push_back({"version 0xFF and 65 devices", S98Builder().Version(0xFF).DeviceCount(65).Build(),
                   kStatusVersionError, kStatusTooManyDevices});
  {
    S98Builder full;
    for (int i = 0; i < 64; ++i)
      full.Device(static_cast<std::uint32_t>(i), 1000u * static_cast<std::uint32_t>(i), 0x0F);
    full.Write(63, 1, 0x28, 0xF0).Write(16, 0, 0x9F, 0x9F).End();
    cases.push_back({"64 devices, the most the buffer holds", full.Build(), "", std::nullopt, 3,
                     [](const std::string& r, const ConversionOptions&) {
                       EXPECT_TRUE(Has(r, "Device Count   = 64\r\n"));
                       EXPECT_TRUE(Has(r, "\r\n#64 [ UNKNOWN ]      Clock: 63000Hz  PAN: 00001111\r\n"));
                       EXPECT_FALSE(Has(r, "\r\n#65 "));
                       EXPECT_TRUE(Has(r, "\t[ #63 [ UNKNOWN ] ] \r\n"));
                       EXPECT_TRUE(Has(r, "\t[ #16 DCSG(SN76489) ] "));
                     }});
    Bytes short63 = full.Build();
    short63.resize(32 + 16 * 63 + 8);
    cases.push_back({"64 devices announced, 63 and a half stored", short63, kStatusFileReadError});
  }

  // Data offsets that cannot be reached give an empty dump; one inside the head walks the head.
  for (std::uint32_t offset :
       {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000u, 0x27u}) {  // 0x27: the file's size
    cases.push_back({"data offset outside the file", simple().DataOffset(offset).Build(), "", std::nullopt, 0,
                     [offset](const std::string& r, const ConversionOptions&) {
                       EXPECT_TRUE(r.ends_with("\r\n[ Dump Data ]\r\n"));
                       char line[40];
                       std::snprintf(line, sizeof line, "Data Offset    = 0x%08x\r\n", offset);
                       EXPECT_TRUE(Has(r, line));
                     }});
  }
  cases.push_back({"data offset 0 walks the head itself", simple().DataOffset(0).Build(), "", std::nullopt,
                   -1, [](const std::string& r, const ConversionOptions&) {
                     const auto lines = DumpTexts(r);
                     ASSERT_GE(lines.size(), 2u);
                     // "S98" read as a register write of device 0x53 >> 1, then the version byte '3'.
                     EXPECT_TRUE(lines[0].starts_with("00000000 : 53 39 38\t[ #41 OPNA(YM2608) ] "));
                     EXPECT_TRUE(lines[1].starts_with("00000003 : 33 00 00\t[ #25 OPNA(YM2608) ] "));
                   }});

  // Tag offsets: negative, huge or not after the data bound nothing; one inside a command lets it finish.
  for (std::uint32_t offset : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x20u, 0x10u}) {
    cases.push_back(
        {"tag offset that bounds nothing", simple().TagOffset(offset).Wait(2).Build(), "", std::nullopt, 4});
  }
  cases.push_back(
      {"tag offset inside a register write", simple().TagOffset(0x21).Wait(2).Build(), "", std::nullopt, 1});
  cases.push_back({"tag offset at a command", simple().TagOffset(0x23).Wait(2).Build(), "", std::nullopt, 1});

  // Loop offsets: negative, huge or inside a command mark no line; the end line names them.
  for (std::uint32_t offset : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x21u, 0x22u}) {
    cases.push_back({"loop offset at no command", simple().LoopOffset(offset).End().Build(), "", std::nullopt,
                     4, [offset](const std::string& r, const ConversionOptions&) {
                       EXPECT_FALSE(Has(r, "LOOP POINT"));
                       char end[40];
                       std::snprintf(end, sizeof end, "\t\t[ LOOP OFFSET=%08x ]\r\n", offset);
                       EXPECT_TRUE(r.ends_with(end));
                     }});
  }

  // Timer denominators whose products wrap: to 0 (no division possible) or to a negative number.
  for (std::uint32_t denominator : {0x10000000u, 0x30000000u, 0x80000000u}) {
    cases.push_back({"timer that cannot be divided",
                     S98Builder().Timer(10, denominator).Wait(1).Wait(5).End().Build(), "", std::nullopt, 3,
                     [](const std::string& r, const ConversionOptions&) {
                       const auto lines = DumpTexts(r);
                       EXPECT_TRUE(lines[0].ends_with("[ SYNC 1 (1)]\t--:--:--.---"));
                       EXPECT_TRUE(lines[1].ends_with("[ SYNC 5 (6) ]\t--:--:--.---"));
                     }});
  }
  cases.push_back({"timer denominator -1", S98Builder().Timer(10, 0xFFFFFFFF).Wait(1).Wait(3).End().Build(),
                   "", std::nullopt, 3, [](const std::string& r, const ConversionOptions&) {
                     EXPECT_TRUE(Has(r, "Timer Period   = 10/-1 (-10000.000000 msec)\r\n"));
                     const auto lines = DumpTexts(r);
                     EXPECT_TRUE(lines[0].ends_with("[ SYNC 1 (1)]\t00:00:-10.000"));
                     EXPECT_TRUE(lines[1].ends_with("[ SYNC 3 (4) ]\t00:00:-40.000"));
                   }});
  // INT32_MIN ticks over -1: every division and remainder by -1 must wrap, not trap.
  cases.push_back({"timer INT32_MIN over -1",
                   S98Builder().Timer(0x80000000, 0xFFFFFFFF).Wait(1).Wait(1).End().Build(), "", std::nullopt,
                   3, [](const std::string& r, const ConversionOptions&) {
                     const auto lines = DumpTexts(r);
                     EXPECT_TRUE(lines[0].ends_with("[ SYNC 1 (1)]\t596523:14:08.000"));
                     EXPECT_TRUE(lines[1].ends_with("[ SYNC 1 (2)]\t00:00:00.000"));
                   }});
  cases.push_back({"timer 2^27: products wrap to negative",
                   S98Builder().Timer(10, 0x08000000).Wait(1).End().Build(), "", std::nullopt, 2,
                   [](const std::string& r, const ConversionOptions&) {
                     EXPECT_TRUE(DumpTexts(r)[0].ends_with("[ SYNC 1 (1)]\t00:00:00.010"));
                   }});

  // 0xFE counts: hundreds of continuation bytes (the shift wraps modulo 32), all bits set, cut by the end.
  {
    const Bytes wait = Concat(Concat({0xFE}, Bytes(300, 0x80)), {0x01});
    cases.push_back({"0xFE with 300 continuation bytes", S98Builder().Raw(wait).End().Build(), "",
                     std::nullopt, 2, [wait](const std::string& r, const ConversionOptions&) {
                       // The last group lands at shift 300 * 7 mod 32 = 20.
                       EXPECT_EQ(DumpTexts(r)[0],
                                 "00000020 : " + Hex(wait) + "\t[ SYNC 1048578 (1048578) ]\t02:54:45.780");
                     }});
    const Bytes ones = Concat(Concat({0xFE}, Bytes(300, 0xFF)), {0x7F});
    cases.push_back({"0xFE with every count bit set", S98Builder().Raw(ones).Wait(1).End().Build(), "",
                     std::nullopt, 3, [ones](const std::string& r, const ConversionOptions&) {
                       const auto lines = DumpTexts(r);
                       EXPECT_EQ(lines[0], "00000020 : " + Hex(ones) + "\t[ SYNC 1 (1) ]\t00:00:00.010");
                       EXPECT_TRUE(lines[1].ends_with("[ SYNC 1 (2)]\t00:00:00.020"));
                     }});
    const Bytes open = Concat({0xFE}, Bytes(400, 0x80));
    cases.push_back({"0xFE whose count runs into the end of file", simple().Raw(open).Build(), "",
                     std::nullopt, 4, [open](const std::string& r, const ConversionOptions&) {
                       EXPECT_EQ(DumpTexts(r).back(), "00000027 : " + Hex(open));
                     }});
    const Bytes fe80 = Repeat({0xFE, 0x80}, 250);
    cases.push_back({"a stream of only 0xFE 0x80", S98Builder().Raw(fe80).Build(), "", std::nullopt, 1,
                     [fe80](const std::string& r, const ConversionOptions&) {
                       // Every byte after the first has its top bit set: one count that never ends.
                       EXPECT_EQ(DumpTexts(r)[0], "00000020 : " + Hex(fe80));
                     }});
    cases.push_back({"0xFE 0x80 pairs ended by a last group",
                     S98Builder().Raw(fe80).Raw({0x00}).End().Build(), "", std::nullopt, 2});
  }

  // Types without a name or decoder: "[ UNKNOWN ]", and no annotation or pitch even with -v and --notes.
  for (std::uint32_t type : {10u, 11u, 12u, 13u, 14u, 17u, 0x80000000u, 0xFFFFFFFFu}) {
    cases.push_back({"device type without a decoder",
                     S98Builder()
                         .Device(type, 7987200, 0xFF)
                         .Write(0, 0, 0xA4, 0x22)
                         .Write(0, 0, 0xA0, 0x69)
                         .Write(0, 0, 0x28, 0xF0)
                         .End()
                         .Build(),
                     "", std::nullopt, 4, [](const std::string& r, const ConversionOptions&) {
                       EXPECT_TRUE(Has(r, "\r\n#01 [ UNKNOWN ]      Clock: 7987200Hz  PAN: 11111111\r\n"));
                       EXPECT_EQ(DumpTexts(r)[2], "00000036 : 00 28 f0\t[ #00 [ UNKNOWN ] ] ");
                     }});
  }
  // Device indexes past the records, and 126 (command 0xFC) with the default device.
  cases.push_back({"index past the records",
                   S98Builder().Device(5, 3579545).Raw({0x02, 0x28, 0x4A, 0xFC, 0x08, 0x78}).End().Build(),
                   "", std::nullopt, 3, [](const std::string& r, const ConversionOptions&) {
                     const auto lines = DumpTexts(r);
                     EXPECT_EQ(lines[0], "00000030 : 02 28 4a\t[ #01 [ UNKNOWN ] ] ");
                     EXPECT_EQ(lines[1], "00000033 : fc 08 78\t[ #126 [ UNKNOWN ] ] ");
                   }});
  cases.push_back({"index 126 of the default device",
                   S98Builder().Raw({0xFC, 0xA4, 0x22, 0xFC, 0xA0, 0x69, 0xFD}).Build(), "", std::nullopt, 3,
                   [](const std::string& r, const ConversionOptions& o) {
                     const auto lines = DumpTexts(r);
                     EXPECT_TRUE(lines[1].starts_with("00000023 : fc a0 69\t[ #126 OPNA(YM2608) ] "));
                     EXPECT_EQ(lines[1].size() > 42, o.verbose || o.notes)
                         << lines[1];  // --notes annotates too
                   }});

  // Register writes cut after the command byte and after the register byte.
  cases.push_back(
      {"write cut after its command byte", simple().Raw({0x01}).Build(), "", std::nullopt, 4,
       [](const std::string& r, const ConversionOptions&) { EXPECT_EQ(DumpTexts(r)[3], "00000027 : 01 "); }});
  cases.push_back(
      {"write cut after its register byte", simple().Raw({0x01, 0x29}).Build(), "", std::nullopt, 4,
       [](const std::string& r, const ConversionOptions&) { EXPECT_EQ(DumpTexts(r)[3], "00000027 : 01 "); }});
  // A version byte below "0" passes; the head is then read as for "3".
  cases.push_back(
      {"version byte 0x01", S98Builder().Version(0x01).Wait(1).End().Build(), "", std::nullopt, 2});
  return cases;
}

// Pitch-setting writes at the extremes (zero periods, top blocks) for every family, on clocks of
// 0, -1 and the ends of the signed range: --notes must print something finite or nothing.
std::vector<HostileCase> ExtremeClockCases() {
  std::vector<HostileCase> cases;
  for (std::uint32_t clock : {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u}) {
    S98Builder b;
    for (std::uint32_t type : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 15u, 16u}) b.Device(type, clock, 0x03);
    int commands = 0;
    for (int device = 0; device < 11; ++device) {
      for (int port = 0; port < 2; ++port) {
        for (auto [reg, value] : std::initializer_list<std::pair<int, int>>{
                 {0x00, 0x00}, {0x01, 0x00}, {0x02, 0xFF}, {0x03, 0x0F}, {0x08, 0x1F}, {0x0B, 0x00},
                 {0x0C, 0x00}, {0x10, 0x00}, {0x10, 0xFF}, {0x20, 0x3F}, {0x28, 0x7F}, {0x30, 0xFF},
                 {0x28, 0xF6}, {0xA4, 0x3F}, {0xA0, 0xFF}, {0xA0, 0x00}, {0xAC, 0x3F}, {0xA8, 0x00},
                 {0xB0, 0x3F}, {0xB8, 0x3F}, {0x09, 0xFF}, {0x0A, 0xFF}, {0x80, 0x00}, {0x8F, 0x00},
                 {0x80, 0x3F}, {0xE0, 0x00}, {0x9F, 0x00}, {0xC0, 0x00}}) {
          b.Write(device, port, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
          ++commands;
        }
      }
    }
    b.End();
    cases.push_back({"every family at an extreme clock", b.Build(), "", std::nullopt, commands + 1});
  }
  return cases;
}

void RunCase(const HostileCase& c, const ConversionOptions& options) {
  const std::string_view expected =
      options.skipVersionCheck && c.forcedStatus.has_value() ? *c.forcedStatus : c.status;
  const Result r = Convert(c.bytes, options);
  EXPECT_EQ(r.status, expected);
  if (!r.status.empty()) {
    EXPECT_EQ(r.report, "") << "a refused file leaves no report text";
    return;
  }
  CheckWalk(r.report, StoredDataOffset(c.bytes));
  if (c.dumpLines >= 0) {
    EXPECT_EQ(Split(r.report).dump.size(), static_cast<std::size_t>(c.dumpLines));
  }
  if (c.check) c.check(r.report, options);
}

TEST(HostileTest, HandMadeHostileHeadsAndStreams) {
  for (const HostileCase& c : HostileCases()) {
    for (const ConversionOptions& options : AllOptions()) {
      SCOPED_TRACE(std::string(c.label) + Describe(options));
      RunCase(c, options);
    }
  }
}

TEST(HostileTest, PitchesOfEveryFamilyAtExtremeClocks) {
  for (const HostileCase& c : ExtremeClockCases()) {
    for (const ConversionOptions& options : AllOptions()) {
      SCOPED_TRACE(std::string(c.label) + Describe(options));
      RunCase(c, options);
    }
  }
}

// The same hostile files read from disk: the file reader (seeks past the end, negative offsets,
// block refills, the tag read before the dump) must give the report the in-memory reader gives, and
// refuse what it refuses.
class HostileFileTest : public testing::ScratchFolderTest {};

TEST_F(HostileFileTest, FilesOnDiskGiveTheSameReports) {
  std::vector<HostileCase> cases = HostileCases();
  cases.push_back({"every family", EveryFamilySample(), ""});
  // Longer than the reader's block, with its tag at the end: the tag is read first, then the dump.
  S98Builder longer;
  longer.Device(4, 7987200, 3);
  for (int i = 0; i < 30000; ++i) longer.Write(0, 0, 0x28, static_cast<std::uint8_t>(i & 0xF3)).Wait(1);
  cases.push_back({"longer than a block", longer.End().Tag("[S98]title=far away\n").Build(), ""});
  // Notes over many of the report's blocks: their texts are made on the writer's thread.
  S98Builder notes;
  notes.Device(4, 7987200, 3);
  for (int i = 0; i < 40000; ++i) {
    notes.Write(0, 0, 0xA4, static_cast<std::uint8_t>((i >> 8) & 0x3F)).Write(0, 0, 0xA0, static_cast<std::uint8_t>(i));
  }
  cases.push_back({"notes over many blocks", notes.End().Build(), ""});
  const fs::path input = dir_ / "hostile.s98";
  int index = 0;
  for (const HostileCase& c : cases) {
    for (int bits = 0; bits < 2; ++bits) {
      SCOPED_TRACE(std::string(c.label) + (bits == 0 ? " -v --notes" : " --tags --stats"));
      const fs::path output = dir_ / ("report" + std::to_string(index++) + ".txt");
      Put(input.filename().string(), c.bytes);
      ConversionOptions options;
      options.verbose = options.notes = bits == 0;
      options.tags = options.stats = bits == 1;
      const Result memory = Convert(c.bytes, options);
      EXPECT_EQ(ConvertS98File(input, output, options), memory.status);
      if (memory.status.empty()) {
        EXPECT_TRUE(ReadWholeFile(output.string()) == memory.report) << "the reports differ";
      } else {
        EXPECT_FALSE(fs::exists(output));
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The tag block is text from the file like any other bytes: offsets anywhere, no closing NUL, bytes
// that are neither UTF-8 nor Shift-JIS, more than the reader takes. Reading it must not disturb the
// dump, must keep every report line ending in CR LF, and must keep every JSON line parseable.

// A literal with its embedded NUL bytes, without the one the compiler adds.
template <std::size_t N>
std::string_view Text(const char (&text)[N]) {
  return std::string_view(text, N - 1);
}

std::vector<std::pair<const char*, Bytes>> HostileTagFiles() {
  const auto song = [] { return S98Builder().Write(0, 0, 0x28, 0xF0).Wait(1).Write(0, 0, 0x28, 0x00).End(); };
  const auto tagged = [&](std::uint8_t version, std::string_view tag) {
    return song().Version(version).Tag(tag).Build();
  };
  std::vector<std::pair<const char*, Bytes>> files = {
      {"tag offset negative", song().TagOffset(0x80000000).Build()},
      {"tag offset past the end", song().TagOffset(0x10000).Build()},
      {"tag offset inside the head", song().TagOffset(4).Build()},
      {"tag offset at the data", song().TagOffset(0x20).Build()},
      {"tag without its NUL, cut inside a Shift-JIS pair", tagged('3', "[S98]title=\x82\xA0\x82")},
      {"UTF-8 tag that is not UTF-8",
       tagged('3', Text("[S98]\xEF\xBB\xBFt=\xC0\x80 \xED\xA0\x80 \x80 \xF4\x90\x80\x80 \xFF\n\0"))},
      {"Shift-JIS tag with bad trail bytes", tagged('3', Text("[S98]t=\x81\x20\xFD\xFE\xB1\x9F\n\0"))},
      {"old title with line ends inside", tagged('1', Text("a\rb\r\nc\nd\x1b\0"))},
      {"key=value lines with bare CRs", tagged('3', Text("[S98]title=a\rb\r\r\ngame=\r\n\0"))},
  };
  Bytes huge = song().Build();
  const std::uint32_t tagAt = static_cast<std::uint32_t>(huge.size());
  huge.insert(huge.end(), 1024 * 1024 + 10, 'a');
  for (int i = 0; i < 4; ++i) huge[16 + i] = static_cast<std::uint8_t>(tagAt >> (8 * i));
  files.emplace_back("tag longer than the reader takes", huge);
  return files;
}

std::string AfterDumpMarker(const std::string& report) {
  const auto at = report.find(kDumpMarker);
  return at == std::string::npos ? std::string("no dump section") : report.substr(at);
}

TEST(HostileTest, HostileTagBlocks) {
  for (const auto& [label, bytes] : HostileTagFiles()) {
    for (int bits = 0; bits < 4; ++bits) {
      ConversionOptions plain;
      plain.verbose = (bits & 1) != 0;
      plain.stats = (bits & 2) != 0;
      ConversionOptions withTags = plain;
      withTags.tags = true;
      SCOPED_TRACE(std::string(label) + Describe(plain) + (plain.stats ? " --stats" : ""));
      const Result without = Convert(bytes, plain);
      const Result with = Convert(bytes, withTags);
      ASSERT_EQ(with.status, "");
      EXPECT_EQ(AfterDumpMarker(with.report), AfterDumpMarker(without.report))
          << "reading the tag moved the dump";
      EXPECT_NE(with.report.find("\r\n[ S98 Tag ]\r\n"), std::string::npos);
      EXPECT_TRUE(with.report.ends_with("\r\n"));
    }
  }
}

// Every line of the report, the tag's own included, ends in CR LF, and no CR or LF stands alone: a
// tag's stray CR would otherwise split one report line in two for some readers and not for others.
TEST(HostileTest, TagTextKeepsEveryLineEndingInCrLf) {
  for (const auto& [label, bytes] : HostileTagFiles()) {
    SCOPED_TRACE(label);
    ConversionOptions options;
    options.tags = true;
    const Result r = Convert(bytes, options);
    ASSERT_EQ(r.status, "");
    for (std::size_t i = 0; i < r.report.size(); ++i) {
      if (r.report[i] == '\r') {
        EXPECT_EQ(r.report.substr(i, 2), "\r\n")
            << "a CR alone in the line " << r.report.substr(r.report.rfind('\n', i) + 1, 40);
      } else if (r.report[i] == '\n') {
        EXPECT_TRUE(i > 0 && r.report[i - 1] == '\r') << "an LF alone at byte " << i;
      }
    }
  }
}

TEST(HostileTest, JsonLinesParseWhateverTheBytes) {
  std::vector<std::pair<const char*, Bytes>> files = HostileTagFiles();
  files.emplace_back("every family", EveryFamilySample());
  files.emplace_back("version byte 0xFF", S98Builder().Version(0xFF).Tag("[S98]t=\xFF\n").End().Build());
  for (const auto& [label, bytes] : files) {
    for (int bits = 0; bits < 8; ++bits) {
      ConversionOptions options;
      options.format = ReportFormat::JsonLines;
      options.verbose = (bits & 1) != 0;
      options.tags = (bits & 2) != 0;
      options.stats = (bits & 4) != 0;
      options.skipVersionCheck = true;
      SCOPED_TRACE(std::string(label) + " " + std::to_string(bits));
      std::string report;
      // A file name that is no UTF-8 either.
      ASSERT_EQ(ConvertS98Bytes(bytes, "\xFF\xFE\x82.s98", options, report), "");
      ASSERT_TRUE(report.ends_with("\n"));
      std::size_t lines = 0;
      for (std::size_t pos = 0; pos < report.size(); ++lines) {
        const std::size_t end = report.find('\n', pos);
        const std::string line = report.substr(pos, end - pos);
        EXPECT_TRUE(line.starts_with("{") && nlohmann::json::accept(line)) << line;
        pos = end + 1;
      }
      EXPECT_GE(lines, 2u);
    }
  }
}

// Inputs the fuzzer once broke the conversion with. Each is replayed with the options the fuzzer
// took from its last byte, then with every combination of -v, -f, --notes, --tags and --stats, in
// text and in JSON lines, under the fuzzer's own checks.
TEST(HostileTest, FuzzerFindsReplay) {
  const fs::path folder = fs::path(TAVRIN_SOURCE_DIR) / "tests" / "regressions";
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::string text = ReadWholeFile(file.string());
    const Bytes bytes(text.begin(), text.end());
    SCOPED_TRACE(file.filename().string());
    EXPECT_EQ(fuzz::CheckConversion(bytes, fuzz::RunFor(bytes)), "") << "with the fuzzer's options";
    for (int bits = 0; bits < 64; ++bits) {
      fuzz::FuzzRun run;
      run.twice = true;
      run.options.verbose = (bits & 1) != 0;
      run.options.skipVersionCheck = (bits & 2) != 0;
      run.options.notes = (bits & 4) != 0;
      run.options.tags = (bits & 8) != 0;
      run.options.stats = (bits & 16) != 0;
      run.options.format = (bits & 32) != 0 ? ReportFormat::JsonLines : ReportFormat::Text;
      EXPECT_EQ(fuzz::CheckConversion(bytes, run), "") << "options " << bits;
    }
  }
}

}  // namespace
}  // namespace tavrin
