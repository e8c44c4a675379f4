// Tests of the notes: each family's pitch rule in the register model, the note naming and rounding, odd clocks.
// Expected texts were worked out from the chips' formulas (exact fractions for the hertz, the
// note from m = 69 + 12 log2(f / 440)), independently of this code.
#include "model/register_model.h"
#include "chips/dispatch.h"
#include "tests/support/register_write.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tavrin {
namespace {

// The text the last write appends, on device 0 of a fresh tracker, after the earlier writes.
struct Case {
  const char* what;
  std::uint32_t type;
  std::int32_t clock;
  std::vector<Write> writes;
  std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

// A register model whose every device index is one chip of the type and clock of its first write.
class NoteTracker {
 public:
  std::string Annotate(std::uint32_t type, std::int32_t clock, int device, const Write& w) {
    if (!model_) {
      DeviceTable devices;
      devices.info.fill(DeviceInfo{type, clock, 0, 0});
      devices.present.set();
      model_ = std::make_unique<RegisterModel>(devices);
    }
    const WriteEffect effect = model_->Apply(device, w.port, w.reg, w.value);
    StringTarget target;
    ReportSink sink(target);
    WriteNote(sink, *model_, device, effect, texts_);
    sink.Flush();
    return target.text;
  }

 private:
  std::unique_ptr<RegisterModel> model_;
  PitchTexts texts_;
};

std::string Annotate(NoteTracker& tracker, std::uint32_t type, std::int32_t clock, int device, const Write& w) {
  return tracker.Annotate(type, clock, device, w);
}

std::string LastText(const Case& c) {
  NoteTracker tracker;
  std::string text;
  for (const Write& w : c.writes) text = Annotate(tracker, c.type, c.clock, 0, w);
  return text;
}

constexpr std::uint32_t kPsg = 1, kOpn = 2, kOpn2 = 3, kOpna = 4, kOpm = 5, kOpll = 6, kOpl = 7, kOpl2 = 8,
                        kOpl3 = 9, kAy = 15, kDcsg = 16;

class Pitch : public ::testing::TestWithParam<Case> {};

TEST_P(Pitch, LastWriteAppends) { EXPECT_EQ(LastText(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Pitch,
    ::testing::Values(
        Case{"OPNA F=$26A B=4", kOpna, 7987200, {{0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"OPNA F=$410 B=4", kOpna, 7987200, {{0, 0xA4, 0x24}, {0, 0xA0, 0x10}}, " => A4+0c 440.10Hz"},
        Case{"OPNA after $2E", kOpna, 7987200,
             {{0, 0x2E, 0}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C5-1c 523.05Hz"},
        Case{"OPN after $2F", kOpn, 3993600,
             {{0, 0x2F, 0}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => G5+1c 784.57Hz"},
        Case{"OPN2 F=$43C B=4", kOpn2, 7670454, {{0, 0xA4, 0x24}, {0, 0xA0, 0x3C}}, " => A4+2c 440.53Hz"},
        Case{"AY TP=254", kAy, 1789773, {{0, 0x01, 0x00}, {0, 0x00, 0xFE}}, " => A4+2c 440.40Hz"},
        Case{"YM2149 TP=254", kPsg, 3579545, {{0, 0x01, 0x00}, {0, 0x00, 0xFE}}, " => A4+2c 440.40Hz"},
        Case{"OPNA SSG TP=$11C", kOpna, 7987200, {{0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A4-2c 439.44Hz"},
        Case{"OPM KC $4A", kOpm, 3579545, {{0, 0x28, 0x4A}}, " => A4+0c 440.00Hz"},
        Case{"OPM KC $3E", kOpm, 3579545, {{0, 0x28, 0x3E}}, " => C4+0c 261.63Hz"},
        Case{"OPM KC $4A KF 32", kOpm, 3579545,
             {{0, 0x28, 0x4A}, {0, 0x30, 32 << 2}}, " => A#4-50c 452.89Hz"},
        Case{"OPL2 F=$244 B=4", kOpl2, 3579545, {{0, 0xA0, 0x44}, {0, 0xB0, 0x32}}, " => A4+0c 439.99Hz"},
        Case{"OPL3 F=$244 B=4", kOpl3, 14318180, {{0, 0xA0, 0x44}, {0, 0xB0, 0x32}}, " => A4+0c 439.99Hz"},
        Case{"OPLL F=$122 B=4", kOpll, 3579545, {{0, 0x10, 0x22}, {0, 0x20, 0x19}}, " => A4+0c 439.99Hz"},
        Case{"DCSG N=254", kDcsg, 3579545, {{0, 0, 0x8E}, {0, 0, 0x0F}}, " => A4+2c 440.40Hz"},
        Case{"DCSG N=0", kDcsg, 3579545, {{0, 0, 0x80}, {0, 0, 0x00}}, " => A2-12c 109.24Hz"}));

INSTANTIATE_TEST_SUITE_P(
    OpnFm, Pitch,
    ::testing::Values(
        Case{"F-NUM2 alone only latches", kOpna, 7987200, {{0, 0xA4, 0x22}}, ""},
        Case{"F-NUM1 before any F-NUM2: block 0, high bits 0", kOpna, 7987200,
             {{0, 0xA0, 0x6A}}, " => --- 2.80Hz"},
        Case{"F-number 0", kOpna, 7987200, {{0, 0xA4, 0x00}, {0, 0xA0, 0x00}}, " => --- 0.00Hz"},
        Case{"OPNA port 1 channel", kOpna, 7987200, {{1, 0xA5, 0x22}, {1, 0xA1, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"the latch is shared by channels and ports", kOpna, 7987200,
             {{0, 0xA4, 0x24}, {1, 0xA2, 0x10}}, " => A4+0c 440.10Hz"},
        Case{"an F-NUM1 write does not use up the latch", kOpna, 7987200,
             {{0, 0xA4, 0x24}, {0, 0xA0, 0x10}, {0, 0xA1, 0x10}}, " => A4+0c 440.10Hz"},
        Case{"special mode takes its own latch", kOpna, 7987200,
             {{0, 0xAC, 0x22}, {0, 0xA4, 0x24}, {0, 0xA9, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"normal channel ignores the special latch", kOpna, 7987200,
             {{0, 0xA4, 0x22}, {0, 0xAD, 0x24}, {0, 0xA2, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"special mode on port 1 is no register", kOpna, 7987200, {{1, 0xAC, 0x22}, {1, 0xA8, 0x6A}}, ""},
        Case{"OPN has no port 1", kOpn, 3993600, {{1, 0xA4, 0x22}, {1, 0xA0, 0x6A}}, ""},
        Case{"OPN power-on divider 72", kOpn, 3993600,
             {{0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"OPN $2E divider 36", kOpn, 3993600,
             {{0, 0x2E, 0xFF}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C5-1c 523.05Hz"},
        Case{"OPNA $2F divider 48", kOpna, 7987200,
             {{0, 0x2F, 0}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => G5+1c 784.57Hz"},
        Case{"$2D returns to the power-on divider", kOpna, 7987200,
             {{0, 0x2F, 0}, {0, 0x2D, 0}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"prescaler on port 1 is no register", kOpna, 7987200,
             {{1, 0x2F, 0}, {0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"OPN2 has no prescaler", kOpn2, 7670454,
             {{0, 0x2F, 0}, {0, 0xA4, 0x24}, {0, 0xA0, 0x3C}}, " => A4+2c 440.53Hz"},
        Case{"F-NUM2 bits 7-6 are not part of the pitch", kOpna, 7987200,
             {{0, 0xA4, 0xE2}, {0, 0xA0, 0x6A}}, " => C4-1c 261.52Hz"},
        Case{"largest F-number and block at the largest clock", kOpn, 2147483647,
             {{0, 0x2F, 0}, {0, 0xA4, 0x3F}, {0, 0xA0, 0xFF}}, " => --- 11179349.33Hz"}));

INSTANTIATE_TEST_SUITE_P(
    Ssg, Pitch,
    ::testing::Values(
        Case{"fine then coarse both annotate", kAy, 1789773,
             {{0, 0x00, 0xFE}, {0, 0x01, 0x01}}, " => A3-5c 219.33Hz"},
        Case{"coarse keeps the fine byte", kAy, 1789773,
             {{0, 0x02, 0xFF}, {0, 0x03, 0xFF}, {0, 0x03, 0x0F}}, " => A0-12c 27.32Hz"},
        Case{"coarse bits 7-4 ignored", kAy, 1789773,
             {{0, 0x04, 0xFF}, {0, 0x05, 0xFF}}, " => A0-12c 27.32Hz"},
        Case{"period 0 plays as 1", kAy, 1789773, {{0, 0x00, 0x00}}, " => --- 111860.81Hz"},
        Case{"OPN SSG at power-on: clock / 2", kOpn, 3993600,
             {{0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A4-2c 439.44Hz"},
        Case{"OPN SSG after $2E: clock", kOpn, 3993600,
             {{0, 0x2E, 0}, {0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A5-2c 878.87Hz"},
        Case{"OPN SSG after $2F: 2 x clock", kOpn, 3993600,
             {{0, 0x2F, 0}, {0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A6-2c 1757.75Hz"},
        Case{"OPNA SSG after $2E: clock / 2", kOpna, 7987200,
             {{0, 0x2E, 0}, {0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A5-2c 878.87Hz"},
        Case{"OPNA SSG after $2F: clock", kOpna, 7987200,
             {{0, 0x2F, 0}, {0, 0x00, 0x1C}, {0, 0x01, 0x01}}, " => A6-2c 1757.75Hz"},
        Case{"the prescaler does not touch a PSG", kAy, 1789773,
             {{0, 0x2F, 0}, {0, 0x01, 0x00}, {0, 0x00, 0xFE}}, " => A4+2c 440.40Hz"},
        Case{"OPNA port 1 $00 is ADPCM", kOpna, 7987200, {{1, 0x00, 0x1C}}, ""},
        Case{"OPN2 has no SSG", kOpn2, 7670454, {{0, 0x00, 0xFE}}, ""},
        Case{"channels keep their own periods", kAy, 1789773,
             {{0, 0x01, 0x0F}, {0, 0x00, 0xFF}, {0, 0x03, 0x00}, {0, 0x02, 0xFE}}, " => A4+2c 440.40Hz"},
        Case{"the largest clock twice over", kOpn, 2147483647,
             {{0, 0x2F, 0}, {0, 0x00, 0x01}}, " => --- 268435455.88Hz"}));

INSTANTIATE_TEST_SUITE_P(
    Opm, Pitch,
    ::testing::Values(
        Case{"code 3 sounds as code 4", kOpm, 3579545, {{0, 0x28, 0x43}}, " => E4+0c 329.63Hz"},
        Case{"code 4", kOpm, 3579545, {{0, 0x28, 0x44}}, " => E4+0c 329.63Hz"},
        Case{"code 15 sounds as the next octave's C#", kOpm, 3579545,
             {{0, 0x28, 0x4F}}, " => C#5+0c 554.37Hz"},
        Case{"next octave's C#", kOpm, 3579545, {{0, 0x28, 0x50}}, " => C#5+0c 554.37Hz"},
        Case{"lowest C the code reaches", kOpm, 3579545, {{0, 0x28, 0x0E}}, " => C1+0c 32.70Hz"},
        Case{"highest code and fraction", kOpm, 3579545,
             {{0, 0x28, 0x7E}, {0, 0x30, 0xFC}}, " => C#8-2c 4430.92Hz"},
        Case{"fraction bits 1-0 ignored", kOpm, 3579545,
             {{0, 0x28, 0x4A}, {0, 0x30, 0x03}}, " => A4+0c 440.00Hz"},
        Case{"12.5 cents rounds away from zero", kOpm, 3579545,
             {{0, 0x28, 0x4A}, {0, 0x30, 8 << 2}}, " => A4+13c 443.19Hz"},
        Case{"-12.5 cents mirrors it", kOpm, 3579545,
             {{0, 0x28, 0x4A}, {0, 0x30, 56 << 2}}, " => A#4-13c 462.81Hz"},
        Case{"-37.5 cents", kOpm, 3579545, {{0, 0x28, 0x4A}, {0, 0x30, 40 << 2}}, " => A#4-38c 456.17Hz"},
        Case{"key code write keeps the fraction", kOpm, 3579545,
             {{0, 0x30, 32 << 2}, {0, 0x28, 0x4A}}, " => A#4-50c 452.89Hz"},
        Case{"channels keep their own fractions", kOpm, 3579545,
             {{0, 0x30, 32 << 2}, {0, 0x2F, 0x4A}}, " => A4+0c 440.00Hz"},
        Case{"4 MHz clock scales the pitch", kOpm, 4000000, {{0, 0x28, 0x4A}}, " => B4-8c 491.68Hz"},
        Case{"port 1 is the same bank", kOpm, 3579545, {{1, 0x2B, 0x3E}}, " => C4+0c 261.63Hz"},
        Case{"$38 is not a fraction", kOpm, 3579545, {{0, 0x38, 0x80}}, ""},
        Case{"$27 is not a key code", kOpm, 3579545, {{0, 0x27, 0x4A}}, ""}));

INSTANTIATE_TEST_SUITE_P(
    OplAndOpll, Pitch,
    ::testing::Values(
        Case{"OPL F-NUM1 alone: block 0", kOpl, 3579545, {{0, 0xA0, 0x44}}, " => --- 3.22Hz"},
        Case{"OPL B0 after A0", kOpl, 3579545, {{0, 0xA0, 0x44}, {0, 0xB0, 0x02}}, " => A0+0c 27.50Hz"},
        Case{"OPL A0 after B0 keeps the block", kOpl, 3579545,
             {{0, 0xB0, 0x32}, {0, 0xA0, 0x44}}, " => A4+0c 439.99Hz"},
        Case{"key-on bit is not part of the pitch", kOpl2, 3579545,
             {{0, 0xA8, 0x44}, {0, 0xB8, 0xD2}}, " => A4+0c 439.99Hz"},
        Case{"OPL3 clock divides by 288", kOpl3, 3579545,
             {{0, 0xA0, 0x44}, {0, 0xB0, 0x32}}, " => A2+0c 110.00Hz"},
        Case{"OPL3 port 1 channels", kOpl3, 14318180,
             {{1, 0xA3, 0x44}, {1, 0xB3, 0x12}}, " => A4+0c 439.99Hz"},
        Case{"OPL3 bank 0 does not see bank 1's A0", kOpl3, 14318180,
             {{1, 0xA0, 0x44}, {0, 0xB0, 0x12}}, " => G4-16c 388.41Hz"},
        Case{"OPL3 bank 1 does not see bank 0's A0", kOpl3, 14318180,
             {{0, 0xA0, 0x44}, {1, 0xB0, 0x12}}, " => G4-16c 388.41Hz"},
        Case{"OPL2 has no port 1", kOpl2, 3579545, {{1, 0xA0, 0x44}, {1, 0xB0, 0x32}}, ""},
        Case{"$A9 is no channel", kOpl2, 3579545, {{0, 0xA9, 0x44}}, ""},
        Case{"$B9 is no channel", kOpl2, 3579545, {{0, 0xB9, 0x32}}, ""},
        Case{"OPLL $10 alone: block 0", kOpll, 3579545, {{0, 0x10, 0x22}}, " => --- 3.22Hz"},
        Case{"OPLL F bit 8 from $20", kOpll, 3579545,
             {{0, 0x10, 0x22}, {0, 0x20, 0x01}}, " => A0+0c 27.50Hz"},
        Case{"OPLL block without bit 8", kOpll, 3579545,
             {{0, 0x28, 0x08}, {0, 0x18, 0x22}}, " => G#1-11c 51.59Hz"},
        Case{"OPLL sustain and key bits ignored", kOpll, 3579545,
             {{0, 0x15, 0x22}, {0, 0x25, 0xF9}}, " => A4+0c 439.99Hz"},
        Case{"OPLL $19 is no channel", kOpll, 3579545, {{0, 0x19, 0x22}}, ""},
        Case{"OPLL $30 is no pitch", kOpll, 3579545, {{0, 0x30, 0x22}}, ""}));

INSTANTIATE_TEST_SUITE_P(
    Dcsg, Pitch,
    ::testing::Values(
        Case{"tone latch annotates", kDcsg, 3579545, {{0, 0, 0x8E}}, " => B8+19c 7990.06Hz"},
        Case{"data byte after the latch", kDcsg, 3579545,
             {{0, 0, 0x80}, {0, 0, 0x3F}}, " => A2+15c 110.97Hz"},
        Case{"data bit 6 is not part of the period", kDcsg, 3579545,
             {{0, 0, 0x80}, {0, 0, 0x7F}}, " => A2+15c 110.97Hz"},
        Case{"latch keeps the high bits", kDcsg, 3579545,
             {{0, 0, 0x80}, {0, 0, 0x10}, {0, 0, 0x8E}}, " => G#4-4c 414.30Hz"},
        Case{"second data byte updates the same channel", kDcsg, 3579545,
             {{0, 0, 0xCE}, {0, 0, 0x3F}, {0, 0, 0x0F}}, " => A4+2c 440.40Hz"},
        Case{"channels keep their own periods", kDcsg, 3579545,
             {{0, 0, 0xA0}, {0, 0, 0x3F}, {0, 0, 0x8E}, {0, 0, 0x0F}, {0, 0, 0xA0}}, " => A2+15c 110.97Hz"},
        Case{"volume latch", kDcsg, 3579545, {{0, 0, 0x90}}, ""},
        Case{"data byte after a volume latch", kDcsg, 3579545,
             {{0, 0, 0x80}, {0, 0, 0x90}, {0, 0, 0x0F}}, ""},
        Case{"noise latch", kDcsg, 3579545, {{0, 0, 0xE4}}, ""},
        Case{"data byte after a noise latch", kDcsg, 3579545, {{0, 0, 0xE4}, {0, 0, 0x0F}}, ""},
        Case{"data byte before any latch", kDcsg, 3579545, {{0, 0, 0x0F}}, ""},
        Case{"Game Gear stereo byte is no data", kDcsg, 3579545, {{0, 0, 0x80}, {0, 1, 0x11}}, ""},
        Case{"Game Gear stereo leaves the period", kDcsg, 3579545,
             {{0, 0, 0x80}, {0, 0, 0x07}, {0, 1, 0x11}, {0, 0, 0x07}}, " => B5+19c 998.76Hz"}));

INSTANTIATE_TEST_SUITE_P(
    NotesAndRounding, Pitch,
    ::testing::Values(
        Case{"hundredths: half rounds up", kDcsg, 32004,
             {{0, 0, 0x81}, {0, 0, 0x00}}, " => B5+22c 1000.13Hz"},
        Case{"hundredths: .375 rounds up", kDcsg, 32012,
             {{0, 0, 0x81}, {0, 0, 0x00}}, " => B5+22c 1000.38Hz"},
        Case{"MIDI 0 is C-1", kDcsg, 267894, {{0, 0, 0x80}, {0, 0, 0x00}}, " => C-1+0c 8.18Hz"},
        Case{"below MIDI 0", kDcsg, 257000, {{0, 0, 0x80}, {0, 0, 0x00}}, " => --- 7.84Hz"},
        Case{"MIDI 127 is G9", kDcsg, 3579545, {{0, 0, 0x89}, {0, 0, 0x00}}, " => G9-16c 12428.98Hz"},
        Case{"above MIDI 127", kDcsg, 3579545, {{0, 0, 0x88}, {0, 0, 0x00}}, " => --- 13982.60Hz"}));

// A clock of 0 or below cannot be divided by and means no sound: every family prints frequency 0.
INSTANTIATE_TEST_SUITE_P(
    OddClocks, Pitch,
    ::testing::Values(
        Case{"OPNA clock 0", kOpna, 0, {{0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => --- 0.00Hz"},
        Case{"OPN2 negative clock", kOpn2, -7670454, {{0, 0xA4, 0x22}, {0, 0xA0, 0x6A}}, " => --- 0.00Hz"},
        Case{"OPN lowest clock", kOpn, INT32_MIN, {{0, 0x2F, 0}, {0, 0x00, 0x01}}, " => --- 0.00Hz"},
        Case{"PSG clock 0", kAy, 0, {{0, 0x00, 0xFE}}, " => --- 0.00Hz"},
        Case{"OPM clock 0", kOpm, 0, {{0, 0x28, 0x4A}}, " => --- 0.00Hz"},
        Case{"OPM negative clock", kOpm, -1, {{0, 0x30, 0x80}}, " => --- 0.00Hz"},
        Case{"OPL3 negative clock", kOpl3, -14318180, {{1, 0xB0, 0x32}}, " => --- 0.00Hz"},
        Case{"OPLL clock 0", kOpll, 0, {{0, 0x20, 0x19}}, " => --- 0.00Hz"},
        Case{"DCSG negative clock", kDcsg, -3579545, {{0, 0, 0x8E}}, " => --- 0.00Hz"},
        Case{"clock 1 still names nothing", kOpna, 1, {{0, 0xA4, 0x3F}, {0, 0xA0, 0xFF}}, " => --- 0.00Hz"}));

// Which registers get a note, over the whole register space: everything else appends nothing.
struct RegisterSpace {
  const char* what;
  std::uint32_t type;
  int port;
  std::set<unsigned> annotated;
};

void PrintTo(const RegisterSpace& r, std::ostream* os) { *os << r.what; }

std::set<unsigned> Range(unsigned first, unsigned last, std::set<unsigned> into = {}) {
  for (unsigned r = first; r <= last; ++r) into.insert(r);
  return into;
}

class AnnotatedRegisters : public ::testing::TestWithParam<RegisterSpace> {};

TEST_P(AnnotatedRegisters, OnlyPitchWritesGetANote) {
  const RegisterSpace& space = GetParam();
  NoteTracker tracker;
  std::set<unsigned> annotated;
  for (unsigned reg = 0; reg < 256; ++reg) {
    // $01 as the value: a DCSG data byte, an F-number and a period that are never zero.
    const std::string text = Annotate(tracker, space.type, 3579545, 0, {space.port, reg, 0x01});
    if (text.empty()) continue;
    annotated.insert(reg);
    EXPECT_EQ(text.rfind(" => ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "Hz") << text;
  }
  EXPECT_EQ(annotated, space.annotated);
}

INSTANTIATE_TEST_SUITE_P(
    Families, AnnotatedRegisters,
    ::testing::Values(
        RegisterSpace{"PSG", kPsg, 0, Range(0x00, 0x05)},
        RegisterSpace{"PSG port 1", kAy, 1, {}},
        RegisterSpace{"OPN port 0", kOpn, 0, Range(0x00, 0x05, Range(0xA0, 0xA2, Range(0xA8, 0xAA)))},
        RegisterSpace{"OPN port 1", kOpn, 1, {}},
        RegisterSpace{"OPNA port 0", kOpna, 0, Range(0x00, 0x05, Range(0xA0, 0xA2, Range(0xA8, 0xAA)))},
        RegisterSpace{"OPNA port 1", kOpna, 1, Range(0xA0, 0xA2)},
        RegisterSpace{"OPN2 port 0", kOpn2, 0, Range(0xA0, 0xA2, Range(0xA8, 0xAA))},
        RegisterSpace{"OPN2 port 1", kOpn2, 1, Range(0xA0, 0xA2)},
        RegisterSpace{"OPM", kOpm, 0, Range(0x28, 0x37)},
        RegisterSpace{"OPLL", kOpll, 0, Range(0x10, 0x18, Range(0x20, 0x28))},
        RegisterSpace{"OPL", kOpl, 0, Range(0xA0, 0xA8, Range(0xB0, 0xB8))},
        RegisterSpace{"OPL port 1", kOpl, 1, {}},
        RegisterSpace{"OPL3 port 1", kOpl3, 1, Range(0xA0, 0xA8, Range(0xB0, 0xB8))},
        RegisterSpace{"no rule: NONE", 0, 0, {}},
        RegisterSpace{"no rule: type 10", 10, 0, {}},
        RegisterSpace{"no rule: type 14", 14, 0, {}},
        RegisterSpace{"no rule: type 17", 17, 0, {}},
        RegisterSpace{"no rule: a four-letter tag", 0x5343435Fu, 0, {}}));

TEST(PitchDevices, EachDeviceKeepsItsOwnLatches) {
  NoteTracker tracker;
  EXPECT_EQ(Annotate(tracker, kOpna, 7987200, 0, {0, 0xA4, 0x22}), "");
  EXPECT_EQ(Annotate(tracker, kOpna, 7987200, 126, {0, 0xA4, 0x24}), "");
  EXPECT_EQ(Annotate(tracker, kOpna, 7987200, 0, {0, 0xA0, 0x6A}), " => C4-1c 261.52Hz");
  EXPECT_EQ(Annotate(tracker, kOpna, 7987200, 126, {0, 0xA0, 0x10}), " => A4+0c 440.10Hz");
}

TEST(PitchDevices, PrescalerBelongsToItsDevice) {
  NoteTracker tracker;
  Annotate(tracker, kOpna, 7987200, 1, {0, 0x2F, 0});
  Annotate(tracker, kOpna, 7987200, 0, {0, 0xA4, 0x22});
  EXPECT_EQ(Annotate(tracker, kOpna, 7987200, 0, {0, 0xA0, 0x6A}), " => C4-1c 261.52Hz");
}

TEST(PitchDevices, IndexesOutsideTheCommandRangeAppendNothing) {
  NoteTracker tracker;
  EXPECT_EQ(Annotate(tracker, kOpm, 3579545, 127, {0, 0x28, 0x4A}), "");
  EXPECT_EQ(Annotate(tracker, kOpm, 3579545, -1, {0, 0x28, 0x4A}), "");
}

TEST(PitchDevices, TrackersShareNothing) {
  NoteTracker first;
  NoteTracker second;
  Annotate(first, kOpna, 7987200, 0, {0, 0xA4, 0x22});
  EXPECT_EQ(Annotate(second, kOpna, 7987200, 0, {0, 0xA0, 0x6A}), " => --- 2.80Hz");
}

// The whole hertz go out through the 32-bit %d up to its largest value and as 64-bit text past it: the
// two ways must meet without a seam.
TEST(PitchText, WholeHertzOnBothSidesOfThirtyTwoBits) {
  const struct {
    Frequency frequency;
    const char* expected;
  } cases[] = {
      {{214748364799, 100}, " => --- 2147483647.99Hz"},
      {{2147483648, 1}, " => --- 2147483648.00Hz"},
      {{214748364899, 100}, " => --- 2147483648.99Hz"},
      {{18446744073709551, 200}, " => --- 92233720368547.76Hz"},  // halves round up
  };
  for (const auto& c : cases) {
    StringTarget target;
    ReportSink sink(target);
    WritePitch(sink, RatioPitch(c.frequency));
    sink.Flush();
    EXPECT_EQ(target.text, c.expected) << c.frequency.numerator << "/" << c.frequency.denominator;
  }
}

// The texts kept by pitch are the texts WritePitch writes: for pitches of every kind, met once, again,
// and again after other pitches pushed them out of their set, into a sink whose small blocks are
// handed on in the middle of the stream.
TEST(PitchTexts, CopiesWhatWritePitchWrites) {
  std::mt19937 rng(98);
  const auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); };
  const struct {
    const char* kind;
    std::function<tavrin::Pitch()> make;
  } kinds[] = {
      {"FM phase step", [&] { return PhaseStepPitch(pick(2048), pick(8), 7987200, 144, 21); }},
      {"SSG period", [&] { return RatioPitch({3993600ull, 16ull * (1 + pick(4095))}); }},
      {"OPM key", [&] { return tavrin::Pitch{tavrin::Pitch::Rule::Opm, {}, (static_cast<int>(pick(12800)) - 6400) / 64.0, 3579545}; }},
      {"OPM odd clock", [&] { return tavrin::Pitch{tavrin::Pitch::Rule::Opm, {}, pick(96) / 4.0, static_cast<std::int32_t>(pick(3))}; }},
      {"silence", [&] { return RatioPitch({0, 1 + pick(5)}); }},
      {"never set", [] { return tavrin::Pitch{}; }},
      {"past MIDI", [&] { return RatioPitch({1 + pick(5), 1000}); }},
      {"64-bit hertz", [&] { return RatioPitch({(std::uint64_t{1} << 62) + pick(1000), 1 + pick(3)}); }},
  };
  // More distinct pitches than the two ways of every set hold: after the first pass, every other draw
  // comes from a few hundred of them (met again in either way), the others from all (pushing them out).
  std::vector<std::pair<const char*, tavrin::Pitch>> pool;
  for (int i = 0; i < 24000; ++i) {
    const auto& kind = kinds[static_cast<std::size_t>(i) % std::size(kinds)];
    pool.emplace_back(kind.kind, kind.make());
  }
  PitchTexts texts;
  StringTarget cachedTarget;
  ReportSink cached(cachedTarget, 64);
  std::string expected;
  std::vector<std::size_t> ends;
  for (int i = 0; i < 120000; ++i) {
    const auto& [kind, pitch] = pool[i < 24000 ? static_cast<std::size_t>(i) : pick(i % 2 != 0 ? 600 : 24000)];
    texts.Write(cached, pitch);
    StringTarget one;
    ReportSink sink(one, 64);
    WritePitch(sink, pitch);
    sink.Flush();
    expected += one.text;
    ends.push_back(expected.size());
  }
  cached.Flush();
  ASSERT_EQ(cachedTarget.text.size(), expected.size());
  for (std::size_t i = 0, begin = 0; i < ends.size(); begin = ends[i++]) {
    ASSERT_EQ(cachedTarget.text.substr(begin, ends[i] - begin), expected.substr(begin, ends[i] - begin)) << "pitch " << i;
  }
}

// Equal where the register model's readers look: latches, keys and pitches.
bool SameRules(const ChipState& a, const ChipState& b) {
  if (a.Latch != b.Latch || a.KeyHeld != b.KeyHeld || a.RhythmHeld != b.RhythmHeld) return false;
  for (std::size_t i = 0; i < a.ChannelPitch.size(); ++i) {
    const tavrin::Pitch& x = a.ChannelPitch[i];
    const tavrin::Pitch& y = b.ChannelPitch[i];
    if (x.rule != y.rule || x.frequency.numerator != y.frequency.numerator ||
        x.frequency.denominator != y.frequency.denominator || x.clock != y.clock ||
        std::bit_cast<std::uint64_t>(x.semitones) != std::bit_cast<std::uint64_t>(y.semitones)) {
      return false;
    }
  }
  return true;
}

// The model hands a family's Apply only the registers of its set: a write to any other must change
// nothing Apply keeps, from any state (here: after a few thousand random writes), for every value.
TEST(ApplyRegisters, OthersChangeNothingApplyKeeps) {
  int checked = 0;
  for (std::uint32_t type = 0; type < 32; ++type) {
    const ChipFamily* family = FamilyOf(type);
    if (family == nullptr || family->applyRegisters == nullptr) continue;
    const DeviceInfo info{type, 3993600, 0, 0, 0};
    // Several states, so a latch that one of them happens to hold at the written value still moves in another.
    for (std::uint32_t seed = 0; seed < 8; ++seed) {
      std::mt19937 rng(type * 8 + seed);
      ChipState base;
      for (int i = 0; i < 4000; ++i) {
        const int port = static_cast<int>(rng() % 2);
        const int bank = family->Bank(type, port);
        if (bank < 0) continue;
        const auto reg = static_cast<unsigned>(rng() % 256);
        const auto value = static_cast<unsigned>(rng() % 256);
        base.Registers[static_cast<std::size_t>(bank)][reg] = static_cast<std::uint8_t>(value);
        WriteEffect effect;
        family->Apply(base, info, port, reg, value, effect);
      }
      for (int port = 0; port < 2; ++port) {
        const int bank = family->Bank(type, port);
        if (bank < 0) continue;
        for (unsigned reg = 0; reg < 256; ++reg) {
          if (family->applyRegisters->Has(port, reg)) continue;
          for (const unsigned value : {0x00u, 0xFFu, 0x0Fu, 0xF0u, 0x5Au, 0xA5u, 0x80u, 0x01u}) {
            ChipState after = base;
            after.Registers[static_cast<std::size_t>(bank)][reg] = static_cast<std::uint8_t>(value);
            WriteEffect effect;
            family->Apply(after, info, port, reg, value, effect);
            EXPECT_TRUE(SameRules(after, base) && effect.pitchSlot < 0 && effect.keyedOn == 0)
                << family->name << " type " << type << " port " << port << " $" << std::hex << reg << "=$" << value;
            ++checked;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace tavrin
