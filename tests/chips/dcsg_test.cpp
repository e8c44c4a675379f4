// Tests of the DCSG register decoder: command bytes, and the data bytes that follow them per device.
#include "chips/dcsg/dcsg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/decoder_harness.h"

namespace tavrin {
namespace {

using testing::DecoderHarness;

struct CommandCase {
  unsigned value;
  const char* expected;
};

// Command bytes on a fresh decoder: each one is complete in itself.
const CommandCase kCommands[] = {
    {0x8F, "DCSG#0: TONE(L)= $0f"},
    {0x80, "DCSG#0: TONE(L)= $00"},
    {0xA0, "DCSG#1: TONE(L)= $00"},
    {0xC5, "DCSG#2: TONE(L)= $05"},
    {0x9F, "DCSG#0: Volume=0"},
    {0x90, "DCSG#0: Volume=15"},
    {0xB7, "DCSG#1: Volume=8"},
    {0xD3, "DCSG#2: Volume=12"},
    {0xFF, "DCSG#3: Volume=0"},
    {0xF0, "DCSG#3: Volume=15"},
    {0xE5, "DCSG#3: Noise=5"},
    {0xEC, "DCSG#3: Noise=4"},
    {0xE0, "DCSG#3: Noise=0"},
    {0xEF, "DCSG#3: Noise=7"},
};

TEST(DcsgDetailDecoder, AnnotatesCommandBytes) {
  for (const CommandCase& row : kCommands) {
    SCOPED_TRACE(::testing::Message() << "value $" << std::hex << row.value);
    DecoderHarness<DcsgDetailDecoder> h;
    EXPECT_EQ(h.Write(0, 0, 0, row.value), row.expected);
  }
}

struct Step {
  int device;
  unsigned value;
  const char* expected;
};

struct SequenceCase {
  const char* name;
  std::vector<Step> steps;
};

const SequenceCase kSequences[] = {
    {"tone command then data bytes",
     {{0, 0x8F, "DCSG#0: TONE(L)= $0f"},
      {0, 0x3F, "DCSG#0: TONE(H)= $3f($3ff)"},
      {0, 0x01, "DCSG#0: TONE(H)= $01($01f)"}}},
    {"bit 6 of a data byte is shown but not kept",
     {{0, 0xA0, "DCSG#1: TONE(L)= $00"}, {0, 0x7F, "DCSG#1: TONE(H)= $7f($3f0)"}}},
    {"a new tone command keeps the high bits",
     {{0, 0xC5, "DCSG#2: TONE(L)= $05"},
      {0, 0x3F, "DCSG#2: TONE(H)= $3f($3f5)"},
      {0, 0xCA, "DCSG#2: TONE(L)= $0a"},
      {0, 0x40, "DCSG#2: TONE(H)= $40($00a)"}}},
    {"several data bytes all go to the latched channel",
     {{0, 0xC1, "DCSG#2: TONE(L)= $01"},
      {0, 0x10, "DCSG#2: TONE(H)= $10($101)"},
      {0, 0x20, "DCSG#2: TONE(H)= $20($201)"},
      {0, 0x00, "DCSG#2: TONE(H)= $00($001)"}}},
    {"each tone channel has its own period",
     {{0, 0x81, "DCSG#0: TONE(L)= $01"},
      {0, 0x3F, "DCSG#0: TONE(H)= $3f($3f1)"},
      {0, 0xA2, "DCSG#1: TONE(L)= $02"},
      {0, 0x01, "DCSG#1: TONE(H)= $01($012)"},
      {0, 0xC3, "DCSG#2: TONE(L)= $03"},
      {0, 0x05, "DCSG#2: TONE(H)= $05($053)"},
      {0, 0x8E, "DCSG#0: TONE(L)= $0e"},
      {0, 0x00, "DCSG#0: TONE(H)= $00($00e)"}}},
    {"data byte before any command", {{0, 0x3F, ""}, {0, 0x00, ""}}},
    {"data byte after an attenuation command",
     {{0, 0x80, "DCSG#0: TONE(L)= $00"}, {0, 0x91, "DCSG#0: Volume=14"}, {0, 0x3F, ""}}},
    {"data byte after channel 3 attenuation", {{0, 0xF4, "DCSG#3: Volume=11"}, {0, 0x15, ""}}},
    {"data byte after a noise command",
     {{0, 0xC0, "DCSG#2: TONE(L)= $00"}, {0, 0xE3, "DCSG#3: Noise=3"}, {0, 0x3F, ""}, {0, 0x01, ""}}},
    {"tone period survives attenuation and noise commands",
     {{0, 0xA9, "DCSG#1: TONE(L)= $09"},
      {0, 0x2A, "DCSG#1: TONE(H)= $2a($2a9)"},
      {0, 0xBF, "DCSG#1: Volume=0"},
      {0, 0xE4, "DCSG#3: Noise=4"},
      {0, 0xA0, "DCSG#1: TONE(L)= $00"},
      {0, 0x2B, "DCSG#1: TONE(H)= $2b($2b0)"}}},
    {"two devices keep separate latches and periods",
     {{0, 0x8F, "DCSG#0: TONE(L)= $0f"},
      {1, 0x3F, ""},
      {1, 0xA3, "DCSG#1: TONE(L)= $03"},
      {0, 0x05, "DCSG#0: TONE(H)= $05($05f)"},
      {1, 0x3F, "DCSG#1: TONE(H)= $3f($3f3)"},
      {1, 0x83, "DCSG#0: TONE(L)= $03"},
      {1, 0x00, "DCSG#0: TONE(H)= $00($003)"}}},
    {"device indexes past 63 have their own records",
     {{63, 0x8F, "DCSG#0: TONE(L)= $0f"},
      {64, 0x9F, "DCSG#0: Volume=0"},
      {126, 0xC7, "DCSG#2: TONE(L)= $07"},
      {64, 0x12, ""},
      {126, 0x12, "DCSG#2: TONE(H)= $12($127)"},
      {63, 0x12, "DCSG#0: TONE(H)= $12($12f)"}}},
};

TEST(DcsgDetailDecoder, FollowsLatchAndData) {
  for (const SequenceCase& sequence : kSequences) {
    SCOPED_TRACE(sequence.name);
    DecoderHarness<DcsgDetailDecoder> h;
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
      const Step& step = sequence.steps[i];
      EXPECT_EQ(h.Write(step.device, 0, 0, step.value), step.expected) << "step " << i;
    }
  }
}

// The chip has one port and no register address: only the byte it receives counts, except that S98
// logs the Game Gear stereo mask with register byte 1.
TEST(DcsgDetailDecoder, PortAndRegisterByteDoNotMatter) {
  DecoderHarness<DcsgDetailDecoder> plain;
  DecoderHarness<DcsgDetailDecoder> other;
  for (unsigned value = 0; value <= 0xFF; ++value) {
    EXPECT_EQ(other.Write(2, 1, 0xA5, value), plain.Write(2, 0, 0x00, value)) << "value " << value;
  }
}

TEST(DcsgDetailDecoder, GameGearStereoMaskIsNotAChipByte) {
  DecoderHarness<DcsgDetailDecoder> h;
  EXPECT_EQ(h.Write(0, 0, 0, 0x8E), "DCSG#0: TONE(L)= $0e");
  EXPECT_EQ(h.Write(0, 0, 1, 0x11), "DCSG GG Stereo=$11  L: 0 - - -  R: 0 - - -");
  EXPECT_EQ(h.Write(0, 0, 1, 0xF0), "DCSG GG Stereo=$f0  L: 0 1 2 3  R: - - - -");
  EXPECT_EQ(h.Write(0, 1, 1, 0x8F), "DCSG GG Stereo=$8f  L: - - - 3  R: 0 1 2 3");
  // Neither the latch nor the period moved: the next data byte still completes tone 0.
  EXPECT_EQ(h.Write(0, 0, 0, 0x07), "DCSG#0: TONE(H)= $07($07e)");
}

// Each conversion has its own decoder, so a latch left by one file never decodes the next file's data.
TEST(DcsgDetailDecoder, NewDecoderStartsFromZero) {
  DecoderHarness<DcsgDetailDecoder> first;
  EXPECT_EQ(first.Write(0, 0, 0, 0xC5), "DCSG#2: TONE(L)= $05");
  DecoderHarness<DcsgDetailDecoder> second;
  EXPECT_EQ(second.Write(0, 0, 0, 0x3F), "");
  EXPECT_EQ(second.Write(0, 0, 0, 0xC0), "DCSG#2: TONE(L)= $00");
  EXPECT_EQ(second.Write(0, 0, 0, 0x01), "DCSG#2: TONE(H)= $01($010)");
  EXPECT_EQ(first.Write(0, 0, 0, 0x01), "DCSG#2: TONE(H)= $01($015)");
}

}  // namespace
}  // namespace tavrin
