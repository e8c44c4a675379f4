// The VGM reader: every command range keeps the walk in place, cuts at every byte, S98/VGM annotation
// parity, version-dependent heads, GD3 tags, gzip input and the corpus file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/timestamp.h"
#include "engine/convert.h"
#include "formats/vgm/vgm_sections.h"
#include "fuzz/conversion_oracle.h"
#include "tests/support/s98_builder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/vgm_builder.h"

namespace tavrin {
namespace {

using testing::S98Builder;
using testing::VgmBuilder;

std::string Convert(const std::vector<std::uint8_t>& bytes, const ConversionOptions& options, std::string* status = nullptr,
                    std::string_view name = "t.vgm") {
  std::string report;
  const std::string s = ConvertS98Bytes(bytes, name, options, report);
  if (status != nullptr) *status = s;
  return report;
}

// The lines after `marker` up to the next blank line (the whole rest for the dump), without CR LF.
std::vector<std::string> Lines(const std::string& report, const std::string& marker = "[ Dump Data ]\r\n") {
  std::vector<std::string> lines;
  const auto at = report.find(marker);
  if (at == std::string::npos) return lines;
  for (std::size_t pos = at + marker.size(); pos < report.size();) {
    const auto end = report.find("\r\n", pos);
    if (end == std::string::npos || end == pos) break;
    lines.push_back(report.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// SN76489, YM2612 and AY8910 twice each (dual-chip bit), a Sega PCM once: devices #00 to #06.
VgmBuilder DualChips() {
  VgmBuilder b;
  b.Clock(0x0C, 0x40000000u | 3579545).Clock(0x2C, 0x40000000u | 7670453).Clock(0x38, 4000000);
  b.Clock(0x74, 0x40000000u | 1789772);
  return b;
}

TEST(VgmTest, EveryCommandRangeKeepsTheWalkInPlace) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string text;  // what the line shows after its bytes
  };
  const std::vector<std::uint8_t> block(300, 0xAA);
  const Case cases[] = {
      {{0x50, 0x8f}, "[ #00 DCSG(SN76489) ] DCSG#0: TONE(L)= $0f"},
      {{0x30, 0x8f}, "[ #01 DCSG(SN76489) ] DCSG#0: TONE(L)= $0f"},
      {{0x4F, 0xF0}, "[ #00 DCSG(SN76489) ]"},
      {{0x3F, 0x0F}, "[ #01 DCSG(SN76489) ]"},
      {{0x31, 0x00}, "[ RESERVED ]"},
      {{0x40, 0x00, 0x00}, "[ RESERVED ]"},
      {{0x52, 0x28, 0xF0}, "[ #02 OPN2(YM2612) ] "},
      {{0x53, 0x30, 0x71}, "[ #02 OPN2(YM2612) ] "},
      {{0xA2, 0x28, 0xF1}, "[ #03 OPN2(YM2612) ] "},
      {{0x54, 0x08, 0x78}, "[ YM2151 (no clock) ]"},
      {{0xA0, 0x07, 0x38}, "[ #05 PSG(AY-3-8910) ] "},
      {{0xA0, 0x87, 0x38}, "[ #06 PSG(AY-3-8910) ] "},
      {{0x58, 0x00, 0x00}, "[ YM2610 (no clock) ]"},
      {{0xB4, 0x15, 0x0F}, "[ NES APU (no clock) ]"},
      {{0xC0, 0x01, 0x00, 0x7F}, "[ #04 SegaPCM ]"},
      {{0xD2, 0x00, 0x01, 0x02}, "[ K051649 (no clock) ]"},
      {{0xC9, 0x00, 0x00, 0x00}, "[ RESERVED ]"},
      {{0xE0, 0x00, 0x10, 0x00, 0x00}, "[ SEEK PCM 0x00001000 ]"},
      {{0xE1, 0x00, 0x01, 0x00, 0x02}, "[ C352 (no clock) ]"},
      {{0xFF, 0x00, 0x00, 0x00, 0x00}, "[ RESERVED ]"},
      {{0x61, 0x10, 0x27}, "[ WAIT 10000 (10000) ]\t00:00:00.226"},
      {{0x62}, "[ WAIT 735 (735) ]\t00:00:00.016"},
      {{0x63}, "[ WAIT 882 (882) ]\t00:00:00.020"},
      {{0x7F}, "[ WAIT 16 (16) ]\t00:00:00.000"},
      {{0x8A}, "[ DAC WAIT 10 (10) ]\t00:00:00.000"},
      {{0x64, 0x62, 0x10, 0x00}, "[ WAIT 62 IS 16 ]"},
      {{0x68, 0x66, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x00},
       "[ PCM RAM WRITE type=0x01 read=0x000100 write=0x000200 size=0x000010 ]"},
      {{0x90, 0x00, 0x02, 0x00, 0x2A}, "[ DAC STREAM 0 SETUP chip=0x02 port=0x00 reg=0x2a ]"},
      {{0x91, 0x00, 0x00, 0x01, 0x00}, "[ DAC STREAM 0 DATA bank=0x00 step=1 base=0 ]"},
      {{0x92, 0x00, 0x44, 0xAC, 0x00, 0x00}, "[ DAC STREAM 0 FREQUENCY 44100 Hz ]"},
      {{0x93, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00, 0x00},
       "[ DAC STREAM 0 START offset=0x00000100 mode=0x01 length=16 ]"},
      {{0x94, 0x00}, "[ DAC STREAM 0 STOP ]"},
      {{0x95, 0x00, 0x03, 0x00, 0x00}, "[ DAC STREAM 0 START FAST block=3 flags=0x00 ]"},
  };
  for (const Case& c : cases) {
    VgmBuilder b = DualChips();
    b.Command({0x50, 0x9F});  // a marker before and after: the command must end where the next starts
    const std::uint32_t at = b.NextOffset();
    for (std::uint8_t byte : c.bytes) b.Command({byte});
    b.Command({0x50, 0x9F}).End();
    const auto lines = Lines(Convert(b.Build(), {.verbose = true}));
    ASSERT_EQ(lines.size(), 4u) << c.text;
    EXPECT_NE(lines[1].find(c.text), std::string::npos) << lines[1];
    char next[32];
    std::snprintf(next, sizeof next, "%08x : 50 9f", static_cast<unsigned>(at + c.bytes.size()));
    EXPECT_EQ(lines[2].rfind(next, 0), 0u) << c.text << " / " << lines[2];
  }
  // Data blocks of every type range are one line each; the data are skipped.
  for (const std::uint8_t type : std::initializer_list<std::uint8_t>{0x00, 0x40, 0x7F, 0x80, 0xC0, 0xE0}) {
    VgmBuilder b = DualChips();
    b.DataBlock(type, block).Command({0x50, 0x9F}).End();
    const auto lines = Lines(Convert(b.Build(), {}));
    ASSERT_EQ(lines.size(), 3u);
    char text[64];
    std::snprintf(text, sizeof text, "[ DATA BLOCK type=0x%02x size=300 ]", type);
    EXPECT_NE(lines[0].find(text), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("00000233 : 50 9f", 0), 0u) << lines[1];
  }
}

TEST(VgmTest, EachCommandEndsWhereItsLengthSays) {
  // A file that stops after one command without the end command: the statistics place the end of
  // the file after its last byte, and a 0x4n takes one operand before 1.60, two from then on.
  struct Case {
    std::uint32_t version;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {0x151, {0x40, 0x11}},       {0x159, {0x4E, 0x11}},       {0x160, {0x40, 0x11, 0x22}},
      {0x171, {0x4E, 0x11, 0x22}}, {0x171, {0x50, 0x9F}},       {0x171, {0x30, 0x9F}},
      {0x171, {0x4F, 0xF0}},       {0x171, {0x52, 0x2A, 0x80}}, {0x171, {0xA0, 0x87, 0x38}},
      {0x171, {0x81}},  // the YM2612 write of a bank byte, then the wait: one byte in all
      {0x171, {0xC0, 0x01, 0x00, 0x7F}},
  };
  for (const Case& c : cases) {
    VgmBuilder b = DualChips();
    b.Version(c.version).DataBlock(0x00, {0x80});
    for (std::uint8_t byte : c.bytes) b.Command({byte});
    const std::vector<std::uint8_t> file = b.Build();
    const auto stats = Lines(Convert(file, {.verbose = true, .stats = true}), "[ Statistics ]\r\n");
    char end[80];
    std::snprintf(end, sizeof end, "Stream End     = end of the file at 0x%08zx (no end command)", file.size());
    EXPECT_NE(std::find(stats.begin(), stats.end(), end), stats.end()) << std::hex << c.version << " " << +c.bytes[0];
  }
}

TEST(VgmTest, WaitLineTimesReadAsEverySectionsTimes) {
  // The wait lines' own formatter against the one the sections use, at the unit and field edges.
  for (const std::uint32_t samples : {0u, 43u, 44u, 44099u, 44100u, 2645999u, 2646000u, 158759999u, 158760000u,
                                      0x7FFFFFFFu, 0xFFFFFFFFu}) {
    StringTarget own, shared;
    ReportSink a(own), b(shared);
    WriteSampleTime(a, samples);
    FormatTickTime(b, samples, TickRate{1, kVgmSampleRate, true});
    a.Flush();
    b.Flush();
    EXPECT_EQ(own.text, shared.text) << samples;
  }
}

TEST(VgmTest, HeadSectionsAndDualChips) {
  VgmBuilder b = DualChips();
  b.Wait(44100).LoopHere().Wait(88200).End();
  const std::string report = Convert(b.Build(), {});
  EXPECT_EQ(Lines(report, "[ Device List ]\r\n"),
            (std::vector<std::string>{"#00 DCSG(SN76489)    Clock: 3579545Hz",
                                      "#01 DCSG(SN76489)    Clock: 3579545Hz  (second chip)",
                                      "#02 OPN2(YM2612)     Clock: 7670453Hz", "#03 OPN2(YM2612)     Clock: 7670453Hz  (second chip)",
                                      "#04 SegaPCM          Clock: 4000000Hz", "#05 PSG(AY-3-8910)   Clock: 1789772Hz",
                                      "#06 PSG(AY-3-8910)   Clock: 1789772Hz  (second chip)"}));
  const auto info = Lines(report, "[ VGM Information ]\r\n");
  ASSERT_GE(info.size(), 9u);
  EXPECT_EQ(info[1], "Format Version = 1.71");
  EXPECT_EQ(info[2], "Total Samples  = 132300 (00:00:03.000)");
  EXPECT_EQ(info[3], "Loop Samples   = 88200 (00:00:02.000)");
  EXPECT_EQ(info[4], "Loop Offset    = 0x00000103");
  const auto dump = Lines(report);
  ASSERT_EQ(dump.size(), 4u);
  EXPECT_EQ(dump[1], "00000103 : 61 ff ff \t[ WAIT 65535 (109635) ]\t00:00:02.486 *** LOOP POINT ***");
  EXPECT_EQ(dump[3], "00000109 : 66 \t\t[ LOOP OFFSET=00000103 ]");
}

TEST(VgmTest, VersionDecidesTheHeadFields) {
  struct Case {
    std::uint32_t version;
    std::string device;  // the device list's first line
  };
  // Before 1.10 the YM2413 clock drives the YM2612 and YM2151 too; before 1.51 the fields past 0x34
  // (here a YM2203 clock) are not head fields.
  const Case cases[] = {
      {0x100, "#00 OPLL(YM2413)     Clock: 3579545Hz"},
      {0x110, "#00 OPLL(YM2413)     Clock: 3579545Hz"},
      {0x150, "#00 OPLL(YM2413)     Clock: 3579545Hz"},
      {0x151, "#00 OPLL(YM2413)     Clock: 3579545Hz"},
  };
  const std::size_t expectedCount[] = {3, 1, 1, 2};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    VgmBuilder b;
    b.Version(cases[i].version).Clock(0x10, 3579545).Clock(0x44, 3993600).End();
    std::vector<std::uint8_t> bytes = b.Build();
    if (cases[i].version < 0x150) {
      // Old files start their commands at 0x40: move them there.
      bytes.erase(bytes.begin() + 0x40, bytes.begin() + 0x100);
    }
    const auto devices = Lines(Convert(bytes, {}), "[ Device List ]\r\n");
    ASSERT_EQ(devices.size(), expectedCount[i]) << std::hex << cases[i].version;
    EXPECT_EQ(devices[0], cases[i].device);
  }
}

TEST(VgmTest, SameMusicAsS98AnnotatesEveryWriteAlike) {
  // One chip of every decoded family, in the order the VGM head lists them.
  struct Chip {
    std::uint8_t clockField;
    std::uint32_t type;
    std::uint32_t clock;
    std::uint8_t port0, port1;  // VGM write commands
  };
  const Chip chips[] = {{0x0C, 16, 3579545, 0x50, 0x50}, {0x10, 6, 3579545, 0x51, 0x51},
                        {0x2C, 3, 7670453, 0x52, 0x53},  {0x30, 5, 3579545, 0x54, 0x54},
                        {0x44, 2, 3993600, 0x55, 0x55},  {0x48, 4, 7987200, 0x56, 0x57},
                        {0x50, 8, 3579545, 0x5A, 0x5A},  {0x54, 7, 3579545, 0x5B, 0x5B},
                        {0x5C, 9, 14318180, 0x5E, 0x5F}, {0x74, 15, 1789772, 0xA0, 0xA0}};
  S98Builder s98;
  s98.Timer(1, 44100);
  VgmBuilder vgm;
  for (const Chip& c : chips) {
    s98.Device(c.type, c.clock);
    vgm.Clock(c.clockField, c.clock);
  }
  // A key-on, pitch and level pattern per chip; DCSG takes only values.
  const std::uint8_t pattern[][3] = {{0, 0x28, 0x00}, {0, 0xA4, 0x22}, {0, 0xA0, 0x69}, {0, 0x28, 0xF0},
                                     {1, 0xA4, 0x1A}, {1, 0xB0, 0x32}, {0, 0x20, 0x19}, {0, 0x10, 0xAC},
                                     {0, 0x30, 0x11}, {0, 0x08, 0x78}, {0, 0x07, 0x38}, {0, 0x40, 0x3F}};
  for (std::size_t d = 0; d < std::size(chips); ++d) {
    for (const auto& w : pattern) {
      const Chip& c = chips[d];
      const bool dcsg = c.type == 16;
      // The AY8910 has 16 registers; bit 7 of the VGM register byte picks the second chip.
      const std::uint8_t reg = dcsg ? 0 : c.type == 15 ? static_cast<std::uint8_t>(w[1] & 0x0F) : w[1];
      const std::uint8_t value = dcsg ? static_cast<std::uint8_t>(w[1] ^ w[2]) : w[2];
      // Single-port chips take every write on port 0.
      const int port = c.port1 != c.port0 ? w[0] : 0;
      s98.Write(static_cast<int>(d), port, reg, value);
      if (dcsg) {
        vgm.Command({0x50, value});
      } else {
        vgm.Command({port != 0 ? c.port1 : c.port0, reg, value});
      }
      s98.Wait(100);
      vgm.Wait(100);
    }
  }
  s98.End();
  vgm.End();
  for (const ConversionOptions& options : {ConversionOptions{.verbose = true}, ConversionOptions{.notes = true}}) {
    const auto a = Lines(Convert(s98.Build(), options, nullptr, "t.s98"));
    const auto b = Lines(Convert(vgm.Build(), options));
    const auto annotation = [](const std::vector<std::string>& lines) {
      std::vector<std::string> out;
      for (const std::string& line : lines) {
        const auto tag = line.find("\t[ #");
        if (tag != std::string::npos) out.push_back(line.substr(line.find("] ", tag) + 2));
      }
      return out;
    };
    const auto sa = annotation(a);
    ASSERT_EQ(sa.size(), std::size(chips) * std::size(pattern));
    const auto sb = annotation(b);
    ASSERT_EQ(sa.size(), sb.size());
    for (std::size_t i = 0; i < sa.size(); ++i) EXPECT_EQ(sa[i], sb[i]) << i;
    std::size_t annotated = 0;
    for (const std::string& text : sa) annotated += text.empty() ? 0 : 1;
    EXPECT_GT(annotated, sa.size() / 2);
  }
}

// The annotation of each YM2612 line: after the device tag, up to the wait a 0x8n line carries.
std::vector<std::string> WriteAnnotations(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    const auto tag = line.find("\t[ #");
    if (tag == std::string::npos) continue;
    const auto from = line.find("] ", tag) + 2;
    out.push_back(line.substr(from, line.find("\t[ DAC WAIT", from) - from));
  }
  return out;
}

TEST(VgmTest, DacBytesFromTheDataBankAnnotateAsTheS98Writes) {
  // Two type-0x00 blocks make one bank (another type between them stays out of it); the first is
  // longer than the bank keeps in memory, so seeks land in memory, in the spooled rest and across
  // the join. Each 0x8n is the S98 write of $2A with the bank's byte, then its wait.
  std::vector<std::uint8_t> first((4u << 20) + 5000);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
  const std::vector<std::uint8_t> second = {0xA1, 0xA2, 0xA3};
  std::vector<std::uint8_t> bank = first;
  bank.insert(bank.end(), second.begin(), second.end());
  S98Builder s98;
  s98.Timer(1, 44100).Device(3, 7670453);
  VgmBuilder vgm;
  vgm.Clock(0x2C, 7670453).DataBlock(0x00, first).DataBlock(0x01, {0xEE, 0xEE}).DataBlock(0x00, second);
  s98.Write(0, 0, 0x2B, 0x80);
  vgm.Command({0x52, 0x2B, 0x80});
  const std::uint32_t seeks[] = {0, 70000, (4u << 20) - 2, (4u << 20) + 4090, static_cast<std::uint32_t>(first.size()) - 2,
                                  static_cast<std::uint32_t>(bank.size()) - 2};
  for (const std::uint32_t seek : seeks) {
    vgm.Command({0xE0, static_cast<std::uint8_t>(seek), static_cast<std::uint8_t>(seek >> 8),
                 static_cast<std::uint8_t>(seek >> 16), static_cast<std::uint8_t>(seek >> 24)});
    for (std::uint8_t n = 0; n < 5; ++n) {
      const std::size_t at = seek + n;
      if (at < bank.size()) s98.Write(0, 0, 0x2A, bank[at]);
      if (n != 0) s98.Wait(n);
      vgm.Command({static_cast<std::uint8_t>(0x80 | n)});
    }
  }
  s98.End();
  vgm.End();
  const ConversionOptions options{.verbose = true, .stats = true};
  const std::string s98Report = Convert(s98.Build(), options, nullptr, "t.s98");
  const auto expected = WriteAnnotations(Lines(s98Report));
  ASSERT_EQ(expected.size(), 1 + 5 * std::size(seeks) - 3);  // the last seek runs three bytes past the bank
  EXPECT_EQ(expected[1], "FM#5 DAC $00");
  for (const auto& file : {vgm.Build(), vgm.BuildGzip()}) {
    const std::string report = Convert(file, options);
    EXPECT_EQ(WriteAnnotations(Lines(report)), expected);
    // The model counted the same writes and samples as the S98 twin's.
    // (The times are printed in each format's own way; the tick counts are the same.)
    for (const char* key : {"Writes ", "Duration ", "OPN2(YM2612)     writes "}) {
      const auto line = [key](const std::string& text) {
        const auto at = text.find(key);
        return at == std::string::npos ? std::string() : text.substr(at, text.find_first_of(":\r", at) - at);
      };
      EXPECT_NE(line(s98Report), "") << key;
      EXPECT_EQ(line(report), line(s98Report));
    }
    const auto dump = Lines(report);
    const auto past = std::find_if(dump.begin(), dump.end(), [](const std::string& l) { return l.find("past") != std::string::npos; });
    ASSERT_NE(past, dump.end());
    EXPECT_NE(past->find("\t[ DAC WAIT 2 ("), std::string::npos) << *past;
    char text[96];
    std::snprintf(text, sizeof text, " DAC: bank offset 0x%08x is past the data bank (%zu bytes)", static_cast<unsigned>(bank.size()),
                  bank.size());
    EXPECT_NE(past->find(text), std::string::npos) << *past;
  }
}

TEST(VgmTest, HeadVariantsChangePitchNoiseAndStereo) {
  // SN76489 and AY8910 head fields applied: the notes of the same writes and the state at the end.
  struct Case {
    std::uint32_t version;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> head;  // head bytes besides the clock
    std::vector<std::uint8_t> commands;
    std::vector<std::string> shown;
    std::string notShown = "(none)";
  };
  constexpr std::uint8_t kFeedback = 0x28, kWidth = 0x2A, kSnFlags = 0x2B, kAyType = 0x78, kAyFlags = 0x79;
  // Tone 0 period $0fe; tone 1 period 0; noise periodic at tone 2's rate, tone 2 period $100; Game Gear stereo.
  const std::vector<std::uint8_t> sn = {0x50, 0x8E, 0x50, 0x0F, 0x50, 0xA0, 0x50, 0x00, 0x50, 0xC0,
                                        0x50, 0x10, 0x50, 0xE3, 0x4F, 0xF0};
  const std::vector<std::uint8_t> ay = {0xA0, 0x00, 0x1C, 0xA0, 0x01, 0x01};  // SSG#0 period $11c
  const Case cases[] = {
      // The Sega chip: period 0 holds the output, 16-bit register with taps $0009, stereo.
      {0x171, {}, sn, {"TONE(H)= $0f($0fe) => A4+2c 440.40Hz", "TONE(H)= $00($000) => --- 0.00Hz",
                       "periodic  tone 2  0    16 bits, taps $0009  A0-12c  27.31", "L/R",
                       "GG Stereo=$f0  L: 0 1 2 3  R: - - - -"}},
      // Period 0 counts 1024; the /8 divider off: eight times the pitch; no stereo.
      {0x171, {{kSnFlags, 0x01}}, sn, {"TONE(H)= $00($000) => A2-12c 109.24Hz"}},
      {0x171, {{kSnFlags, 0x08}}, sn, {"TONE(H)= $0f($0fe) => A7+2c 3523.17Hz"}},
      {0x171, {{kSnFlags, 0x04}}, sn, {"DCSG#3  periodic", "GG Stereo=$f0  (no Game Gear stereo on this chip: ignored)"}, "L/R"},
      // A 15-bit register with other taps: periodic noise a sixteenth higher.
      {0x171, {{kFeedback, 0x03}, {kWidth, 15}}, sn, {"15 bits, taps $0003  A#0+0c  29.13"}},
      // The flags came with 1.51: before, the byte is not read.
      {0x150, {{kSnFlags, 0x01}}, sn, {"TONE(H)= $00($000) => --- 0.00Hz"}},
      // A YM2149 halves its clock only with pin 26 low; an AY-3-8910 never does.
      {0x171, {{kAyType, 0x10}}, ay, {"PSG(YM2149) ] SSG#0 Coarse Tune=$01($11c) => A4+1c 440.14Hz"}},
      {0x171, {{kAyType, 0x10}, {kAyFlags, 0x10}}, ay, {"Coarse Tune=$01($11c) => A3+1c 220.07Hz"}},
      {0x171, {{kAyType, 0x00}, {kAyFlags, 0x10}}, ay, {"PSG(AY-3-8910) ] SSG#0 Coarse Tune=$01($11c) => A4+1c 440.14Hz"}},
  };
  for (const Case& c : cases) {
    VgmBuilder b;
    b.Version(c.version).Clock(0x0C, 3579545).Clock(0x74, 2000000);
    for (const auto& [at, value] : c.head) b.HeadByte(at, value);
    for (std::uint8_t byte : c.commands) b.Command({byte});
    b.End();
    ConversionOptions options{.notes = true};
    options.stateAt.push_back(*ParseStatePoint("end"));
    const std::string report = Convert(b.Build(), options);
    for (const std::string& text : c.shown) EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
    EXPECT_EQ(report.find(c.notShown), std::string::npos) << c.notShown << "\n" << report;
  }
}

TEST(VgmTest, CutAtEveryByteReportsUpToTheCut) {
  VgmBuilder b = DualChips();
  b.Command({0x50, 0x9F}).Command({0x52, 0x28, 0xF0}).Command({0xC0, 0x01, 0x00, 0x7F});
  b.DataBlock(0x00, std::vector<std::uint8_t>(20, 1)).Command({0xE0, 0, 0, 0, 0}).Command({0x7F});
  b.Command({0x93, 0, 0, 1, 0, 0, 1, 16, 0, 0, 0}).Wait(1000).End().Gd3({"a\r\nb\nc", "b"});
  const std::vector<std::uint8_t> whole = b.Build();
  const auto all = Lines(Convert(whole, {.verbose = true}));
  ASSERT_EQ(all.size(), 9u);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    std::string status;
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    const auto lines = Lines(Convert(cut, {.verbose = true, .stats = true}, &status));
    if (n < 4) {
      EXPECT_NE(status, "") << n;  // too short to be anything
      continue;
    }
    if (n < 0x40) {
      EXPECT_EQ(status, "VGM header is cut short.") << n;
      continue;
    }
    ASSERT_EQ(status, "") << n;
    // What any caller relies on (sections, line ends, JSON, --check agreeing), under every option bit.
    for (unsigned bits = 0; bits < 256; bits += 37) {
      std::vector<std::uint8_t> withOptions = cut;
      withOptions.push_back(static_cast<std::uint8_t>(bits));
      EXPECT_EQ(fuzz::CheckConversion(withOptions, fuzz::RunFor(withOptions)), "") << n << " options " << bits;
    }
    ASSERT_LE(lines.size(), all.size()) << n;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == all[i]) continue;
      // Only the last line may differ: the command the file ends inside.
      EXPECT_EQ(i + 1, lines.size()) << n;
      EXPECT_EQ(lines[i].substr(0, 11), all[i].substr(0, 11)) << n;
      EXPECT_NE(lines[i].find("[ CUT: the file ends inside this command ]"), std::string::npos) << lines[i];
    }
  }
  // The same file gzip-compressed and cut: what inflates is reported, nothing more.
  const std::vector<std::uint8_t> packed = b.BuildGzip();
  for (std::size_t n = 2; n < packed.size(); ++n) {
    std::string status;
    const std::vector<std::uint8_t> cut(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(n));
    const auto lines = Lines(Convert(cut, {.verbose = true}, &status));
    EXPECT_TRUE(status.empty() || status == "VGM header is cut short." || status == "This is not VGM format.") << status;
    ASSERT_LE(lines.size(), all.size()) << n;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i], all[i]) << n;
  }
}

TEST(VgmTest, GzipReadsAsThePlainFile) {
  VgmBuilder b = DualChips();
  for (int i = 0; i < 5000; ++i) b.Command({0x52, 0x28, static_cast<std::uint8_t>(i)}).Command({0x7F});
  b.End();
  const ConversionOptions options{.verbose = true, .stats = true};
  const std::string plain = Convert(b.Build(), options);
  EXPECT_EQ(Convert(b.BuildGzip(), options), plain);
  std::vector<std::uint8_t> damaged = b.BuildGzip();
  damaged[damaged.size() / 2] ^= 0xFF;
  std::string status;
  Convert(damaged, options, &status);
  EXPECT_EQ(status, "File read error.");
}

TEST(VgmTest, Gd3TagEnglishAndJapanese) {
  VgmBuilder b;
  b.Clock(0x0C, 3579545).End().Gd3({"Green Hill", "グリーンヒル", "Sonic", "ソニック", "Mega Drive", "", "Nakamura",
                                    "中村", "1991", "ripper", "notes 𝄞"});
  const auto tag = Lines(Convert(b.Build(), {.tags = true}), "[ GD3 Tag ]\r\n");
  EXPECT_EQ(tag, (std::vector<std::string>{"Tag Version    = 1.00", "Track Name      = Green Hill",
                                           "Track Name (JP) = グリーンヒル", "Game Name       = Sonic",
                                           "Game Name (JP)  = ソニック", "System Name     = Mega Drive",
                                           "Author          = Nakamura", "Author (JP)     = 中村",
                                           "Date            = 1991", "VGM Creator     = ripper",
                                           "Notes           = notes 𝄞"}));
  VgmBuilder cut;
  cut.Clock(0x0C, 3579545).End().Gd3({"only one"});
  const auto short_ = Lines(Convert(cut.Build(), {.tags = true}), "[ GD3 Tag ]\r\n");
  EXPECT_EQ(short_.back(), "*** the tag ends before its eleventh string ***");
}

TEST(VgmTest, DeviceFilterKeepsTheLinesOfItsChip) {
  VgmBuilder b = DualChips();
  b.Command({0x50, 0x9F}).Command({0xC0, 0x01, 0x00, 0x7F}).Command({0x94, 0x00}).Command({0x52, 0x28, 0xF0}).End();
  ConversionOptions options;
  options.selection.deviceFilter = true;
  options.selection.devices.set(4);
  const auto lines = Lines(Convert(b.Build(), options));
  ASSERT_EQ(lines.size(), 3u);  // the Sega PCM write, the stream command (no device), the end
  EXPECT_NE(lines[0].find("[ #04 SegaPCM ]"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("DAC STREAM"), std::string::npos) << lines[1];
}

TEST(VgmTest, JsonCarriesTheFileBytes) {
  VgmBuilder b = DualChips();
  // The waits carry their bytes too, and a 0x62 after 0x64 waits what 0x64 set.
  b.Command({0x50, 0x9F}).Command({0x94, 0x00}).Command({0x61, 0x10, 0x27}).Command({0x64, 0x62, 0x10, 0x00});
  b.Command({0x62}).Command({0x7F}).End();
  const std::string json = Convert(b.Build(), {.format = ReportFormat::JsonLines});
  for (const char* wait : {"\"bytes\":\"611027\",\"kind\":\"wait\",\"wait\":10000,\"ticks\":10000,",
                           "\"bytes\":\"62\",\"kind\":\"wait\",\"wait\":16,\"ticks\":10016,",
                           "\"bytes\":\"7f\",\"kind\":\"wait\",\"wait\":16,\"ticks\":10032,"}) {
    EXPECT_NE(json.find(wait), std::string::npos) << wait << "\n" << json;
  }
  EXPECT_NE(json.find("\"bytes\":\"509f\",\"kind\":\"write\",\"device\":0,\"port\":0,\"register\":0,\"value\":159"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"bytes\":\"9400\",\"kind\":\"other\",\"text\":\"DAC STREAM 0 STOP\""), std::string::npos) << json;
}

TEST(VgmTest, CorpusFile) {
  const std::filesystem::path dir = TAVRIN_SOURCE_DIR "/../shared/corpus/vgm";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no VGM corpus at " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".vgm") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string status;
    const auto lines = Lines(Convert(bytes, {.verbose = true}, &status));
    ASSERT_EQ(status, "") << entry.path();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().find("[ END ]") != std::string::npos ||
                lines.back().find("[ LOOP OFFSET=") != std::string::npos)
        << lines.back();
    for (const std::string& line : lines) EXPECT_EQ(line.find("(no clock)"), std::string::npos) << line;
    ++files;
  }
  if (files == 0) GTEST_SKIP() << "no .vgm file in " << dir;
}

class VgmFileTest : public testing::ScratchFolderTest {};

TEST_F(VgmFileTest, CheckFindsWhatAPlayerTripsOn) {
  struct Case {
    std::string name;
    VgmBuilder file;
    std::vector<std::string> findings;
  };
  VgmBuilder clean = DualChips();
  clean.Command({0x50, 0x9F}).LoopHere().Wait(100).End().Gd3({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"});
  VgmBuilder unclocked = DualChips();
  unclocked.Command({0x54, 0x08, 0x00}).Command({0x54, 0x08, 0x01}).Command({0x05}).End();
  VgmBuilder dac;
  dac.Clock(0x2C, 7670453).DataBlock(0x00, {0x80}).Command({0x81}).Command({0x82}).Command({0x83}).End().HeadByte(0x18, 6);
  VgmBuilder noDacChip;
  noDacChip.Clock(0x0C, 3579545).Command({0x80}).End();
  VgmBuilder noEnd = DualChips();
  noEnd.Wait(10).HeadByte(0x18, 0x20).Gd3({"only"});
  const Case cases[] = {
      {"clean.vgm", clean, {}},
      {"unclocked.vgm", unclocked,
       {"0x00000100: 2 command(s) for the YM2151, whose clock is 0 in the head",
        "0x00000106: command 0x05 has no length in the format; nothing after it can be read",
        "0x00000107: the commands end without the end command 0x66"}},
      {"dac.vgm", dac,
       {"0x00000109: 2 DAC byte(s) (0x8n) read past the end of the data bank of 1 bytes"}},
      {"nodac.vgm", noDacChip, {"0x00000100: 1 command(s) for the YM2612, whose clock is 0 in the head"}},
  };
  for (const Case& c : cases) {
    for (const bool packed : {false, true}) {
      const auto path = Put(c.name + (packed ? ".gz" : ""), packed ? c.file.BuildGzip() : c.file.Build());
      std::vector<CheckFinding> findings;
      ASSERT_EQ(CheckS98File(path, false, findings), "") << c.name;
      std::vector<std::string> lines;
      for (const CheckFinding& f : findings) {
        char at[16];
        std::snprintf(at, sizeof at, "0x%08x: ", f.offset);
        lines.push_back(at + f.text);
      }
      EXPECT_EQ(lines, c.findings) << c.name << (packed ? " (gzip)" : "");
    }
  }
  // The head's counts against the waits, and a tag that stops short.
  const auto path = Put("counts.vgm", noEnd.Build());
  std::vector<CheckFinding> findings;
  ASSERT_EQ(CheckS98File(path, false, findings), "");
  std::string all;
  for (const CheckFinding& f : findings) all += f.text + "\n";
  EXPECT_NE(all.find("the head counts 32 samples, the waits 10"), std::string::npos) << all;
  EXPECT_NE(all.find("GD3: the tag ends before its eleventh string"), std::string::npos) << all;
  EXPECT_NE(all.find("without the end command"), std::string::npos) << all;
}

}  // namespace
}  // namespace tavrin
