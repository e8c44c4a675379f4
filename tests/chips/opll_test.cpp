// Tests of OpllDetailDecoder: every register row, rhythm mode per device and the pitch latches.
#include "chips/opll/opll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/decoder_harness.h"

namespace tavrin {
namespace {

using Harness = testing::DecoderHarness<OpllDetailDecoder>;

struct Write {
  int device;
  unsigned reg;
  unsigned value;
};

// One write decoded after some earlier writes on the same decoder; the port is always 0 here.
struct Case {
  std::vector<Write> before;
  Write write;
  std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "dev " << c.write.device << " $" << std::hex << c.write.reg << " <- $" << c.write.value << " after "
      << std::dec << c.before.size() << " writes";
}

std::string Decode(const Case& c) {
  Harness h;
  for (const Write& w : c.before) h.Write(w.device, 0, w.reg, w.value);
  return h.Write(c.write.device, 0, c.write.reg, c.write.value);
}

const Write kRhythmOn{0, 0x0E, 0x20};
const Write kRhythmOff{0, 0x0E, 0x00};

class OpllRows : public ::testing::TestWithParam<Case> {};

TEST_P(OpllRows, AppendsTheRowText) { EXPECT_EQ(Decode(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    UserVoice, OpllRows,
    ::testing::Values(
        Case{{}, {0, 0x00, 0x61}, "USER VOICE op1: ML=1 AM:OFF VIB:ON  DECAY   KSR:OFF"},
        Case{{}, {0, 0x01, 0x9F}, "USER VOICE op2: ML=15 AM:ON  VIB:OFF SUSTAIN KSR:ON"},
        Case{{}, {0, 0x00, 0x00}, "USER VOICE op1: ML=0 AM:OFF VIB:OFF SUSTAIN KSR:OFF"},
        Case{{}, {0, 0x02, 0xBF}, "USER VOICE op1: KSL=2 TL=63"},
        Case{{}, {0, 0x03, 0xD5}, "USER VOICE op2: KSL=3 FB=5 DM=ON  DC=OFF"},
        Case{{}, {0, 0x03, 0x0A}, "USER VOICE op2: KSL=0 FB=2 DM=OFF DC=ON"},
        Case{{}, {0, 0x04, 0xF0}, "USER VOICE op1: AR=15 DR= 0"},
        Case{{}, {0, 0x05, 0x3C}, "USER VOICE op2: AR= 3 DR=12"},
        Case{{}, {0, 0x06, 0x2F}, "USER VOICE op1: SL= 2 RR=15"},
        Case{{}, {0, 0x07, 0xA1}, "USER VOICE op2: SL=10 RR= 1"}));

INSTANTIATE_TEST_SUITE_P(
    RhythmAndTest, OpllRows,
    ::testing::Values(Case{{}, {0, 0x0E, 0x21}, "[RHYTHM MODE ON]         H"},
                      Case{{}, {0, 0x0E, 0x3F}, "[RHYTHM MODE ON] B S T C H"},
                      Case{{}, {0, 0x0E, 0xE4}, "[RHYTHM MODE ON]     T    "},
                      Case{{}, {0, 0x0E, 0x00}, "[RHYTHM MODE OFF]"},
                      Case{{}, {0, 0x0E, 0xDF}, "[RHYTHM MODE OFF]"},
                      Case{{}, {0, 0x0F, 0x0A}, "Test : $0a"}));

INSTANTIATE_TEST_SUITE_P(
    Pitch, OpllRows,
    ::testing::Values(
        Case{{}, {0, 0x20, 0x3B}, "FM#0: BLOCK=5 F-NUM2=$01 Key-ON [SUSTAIN]"},
        Case{{{0, 0x20, 0x3B}}, {0, 0x10, 0xAC}, "FM#0: F-NUM1=$ac(OCT=6 $1ac)"},
        Case{{}, {0, 0x10, 0xFF}, "FM#0: F-NUM1=$ff(OCT=1 $0ff)"},
        Case{{}, {0, 0x28, 0x0E}, "FM#8: BLOCK=7 F-NUM2=$00 Key-OFF"},
        Case{{}, {0, 0x24, 0x20}, "FM#4: BLOCK=0 F-NUM2=$00 Key-OFF [SUSTAIN]"},
        // The $10 row keeps bit 8 and shows the block of the last $20-row write.
        Case{{{0, 0x28, 0x0F}, {0, 0x18, 0x01}}, {0, 0x18, 0x02}, "FM#8: F-NUM1=$02(OCT=8 $102)"},
        Case{{{0, 0x21, 0x0F}, {0, 0x21, 0x04}}, {0, 0x11, 0x02}, "FM#1: F-NUM1=$02(OCT=3 $002)"},
        // The $20 row keeps bits 0-7 of the latch.
        Case{{{0, 0x12, 0x34}, {0, 0x22, 0x01}}, {0, 0x12, 0x35}, "FM#2: F-NUM1=$35(OCT=1 $135)"},
        // Latches are per channel and per device.
        Case{{{0, 0x23, 0x0F}}, {0, 0x13, 0x00}, "FM#3: F-NUM1=$00(OCT=8 $100)"},
        Case{{{0, 0x23, 0x0F}}, {0, 0x14, 0x00}, "FM#4: F-NUM1=$00(OCT=1 $000)"},
        Case{{{1, 0x23, 0x0F}}, {0, 0x13, 0x00}, "FM#3: F-NUM1=$00(OCT=1 $000)"},
        Case{{{126, 0x23, 0x0F}}, {126, 0x13, 0x00}, "FM#3: F-NUM1=$00(OCT=8 $100)"}));

INSTANTIATE_TEST_SUITE_P(
    VoiceAndVolume, OpllRows,
    ::testing::Values(Case{{}, {0, 0x30, 0x15}, "FM#0: @1(VIOLIN     ) VOL= 5"},
                      Case{{}, {0, 0x30, 0x00}, "FM#0: @0(USER       ) VOL= 0"},
                      Case{{}, {0, 0x35, 0xBF}, "FM#5: @11(HARPSICHORD) VOL=15"},
                      Case{{}, {0, 0x34, 0xC7}, "FM#4: @12(VIBRAPHON  ) VOL= 7"},
                      Case{{}, {0, 0x33, 0xF0}, "FM#3: @15(ELECBASS   ) VOL= 0"},
                      // Channels 0-5 are never drums.
                      Case{{kRhythmOn}, {0, 0x35, 0x21}, "FM#5: @2(GUITAR     ) VOL= 1"},
                      Case{{}, {0, 0x36, 0x2A}, "FM#6: @2(GUITAR     ) VOL=10"},
                      Case{{kRhythmOn}, {0, 0x36, 0x2A}, " BD VOL=10"},
                      Case{{}, {0, 0x37, 0xA5}, "FM#7: @10(SYNTH      ) VOL= 5"},
                      Case{{kRhythmOn}, {0, 0x37, 0xA5}, " SD VOL= 5   HH VOL=10"},
                      Case{{}, {0, 0x38, 0x3C}, "FM#8: @3(PIANO      ) VOL=12"},
                      Case{{kRhythmOn}, {0, 0x38, 0x3C}, "CYM VOL=12  TOM VOL= 3"}));

// Rhythm mode follows the last $0E write of the same device only.
INSTANTIATE_TEST_SUITE_P(
    RhythmModePerDevice, OpllRows,
    ::testing::Values(Case{{kRhythmOn, kRhythmOff}, {0, 0x36, 0x2A}, "FM#6: @2(GUITAR     ) VOL=10"},
                      Case{{kRhythmOn, kRhythmOff, kRhythmOn}, {0, 0x36, 0x2A}, " BD VOL=10"},
                      // Key bits alone do not switch the mode.
                      Case{{kRhythmOn, {0, 0x0E, 0x1F}}, {0, 0x36, 0x2A}, "FM#6: @2(GUITAR     ) VOL=10"},
                      Case{{kRhythmOn}, {1, 0x36, 0x2A}, "FM#6: @2(GUITAR     ) VOL=10"},
                      Case{{{126, 0x0E, 0x20}}, {126, 0x38, 0x3C}, "CYM VOL=12  TOM VOL= 3"},
                      Case{{{126, 0x0E, 0x20}}, {0, 0x38, 0x3C}, "FM#8: @3(PIANO      ) VOL=12"}));

// Each instrument number prints its name whole, padded to the same width.
TEST(OpllToneNames, AllSixteen) {
  const char* const names[16] = {"USER       ", "VIOLIN     ", "GUITAR     ", "PIANO      ",
                                 "FLUTE      ", "CLARINET   ", "OBOE       ", "TRUMPET    ",
                                 "ORGAN      ", "HORN       ", "SYNTH      ", "HARPSICHORD",
                                 "VIBRAPHON  ", "SYNBASS    ", "WOODBASS   ", "ELECBASS   "};
  Harness h;
  for (unsigned n = 0; n < 16; ++n) {
    const std::string expected = "FM#2: @" + std::to_string(n) + "(" + names[n] + ") VOL= 9";
    EXPECT_EQ(h.Write(0, 0, 0x32, n << 4 | 9), expected);
  }
}

// Unused registers append nothing.
TEST(OpllUncovered, AppendNothing) {
  Harness h;
  h.Write(0, 0, 0x0E, 0x20);
  for (unsigned reg = 0; reg < 0x200; ++reg) {
    const bool covered = reg <= 0x07 || reg == 0x0E || reg == 0x0F || (reg >= 0x10 && reg <= 0x18) ||
                         (reg >= 0x20 && reg <= 0x28) || (reg >= 0x30 && reg <= 0x38);
    const std::string text = h.Write(0, 0, reg, 0x5A);
    if (reg == 0x0E) h.Write(0, 0, 0x0E, 0x20);
    EXPECT_EQ(text.empty(), !covered) << "reg " << reg << ": " << text;
  }
}

// The chip has one bank: the port bit changes nothing, state included.
TEST(OpllPort, PortBitIsIgnored) {
  Harness h;
  EXPECT_EQ(h.Write(0, 1, 0x0E, 0x21), "[RHYTHM MODE ON]         H");
  EXPECT_EQ(h.Write(0, 0, 0x36, 0x2A), " BD VOL=10");
  EXPECT_EQ(h.Write(0, 1, 0x20, 0x3B), "FM#0: BLOCK=5 F-NUM2=$01 Key-ON [SUSTAIN]");
  EXPECT_EQ(h.Write(0, 0, 0x10, 0xAC), "FM#0: F-NUM1=$ac(OCT=6 $1ac)");
  EXPECT_EQ(h.Write(0, 1, 0x00, 0x61), "USER VOICE op1: ML=1 AM:OFF VIB:ON  DECAY   KSR:OFF");
}

// State belongs to one decoder object and starts from zero in each.
TEST(OpllState, FreshDecoderStartsFromZero) {
  Harness first;
  first.Write(0, 0, 0x0E, 0x20);
  first.Write(0, 0, 0x20, 0x0F);
  Harness second;
  EXPECT_EQ(second.Write(0, 0, 0x36, 0x2A), "FM#6: @2(GUITAR     ) VOL=10");
  EXPECT_EQ(second.Write(0, 0, 0x10, 0x00), "FM#0: F-NUM1=$00(OCT=1 $000)");
  EXPECT_EQ(first.Write(0, 0, 0x10, 0x00), "FM#0: F-NUM1=$00(OCT=8 $100)");
}

// An index beyond the command byte's range is decoded from a blank record and leaves all others alone.
TEST(OpllState, IndexOutsideTheRangeKeepsNothing) {
  Harness h;
  for (int device : {-1, 127, 1000}) {
    EXPECT_EQ(h.Write(device, 0, 0x0E, 0x20), "[RHYTHM MODE ON]          ");
    EXPECT_EQ(h.Write(device, 0, 0x36, 0x2A), "FM#6: @2(GUITAR     ) VOL=10");
    h.Write(device, 0, 0x20, 0x0F);
    EXPECT_EQ(h.Write(device, 0, 0x10, 0x00), "FM#0: F-NUM1=$00(OCT=1 $000)");
  }
  for (int device : {0, 63, 64, 126}) {
    EXPECT_EQ(h.Write(device, 0, 0x36, 0x2A), "FM#6: @2(GUITAR     ) VOL=10") << device;
    EXPECT_EQ(h.Write(device, 0, 0x10, 0x00), "FM#0: F-NUM1=$00(OCT=1 $000)") << device;
  }
}

}  // namespace
}  // namespace tavrin
