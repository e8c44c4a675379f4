// Tests of OplDetailDecoder: every register row, the second-bank warning and the per-device latches.
#include "chips/opl/opl.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/decoder_harness.h"

namespace tavrin {
namespace {

using Harness = testing::DecoderHarness<OplDetailDecoder>;

struct Write {
  int device;
  int port;
  unsigned reg;
  unsigned value;
};

// One write decoded after some earlier writes on the same decoder.
struct Case {
  std::vector<Write> before;
  Write write;
  std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "dev " << c.write.device << " port " << c.write.port << " $" << std::hex << c.write.reg << " <- $"
      << c.write.value << " after " << std::dec << c.before.size() << " writes";
}

std::string Decode(const Case& c) {
  Harness h;
  for (const Write& w : c.before) h.Write(w.device, w.port, w.reg, w.value);
  return h.Write(c.write.device, c.write.port, c.write.reg, c.write.value);
}

const Write kOpl3On{0, 1, 0x05, 0x01};
const Write kOpl3Off{0, 1, 0x05, 0x00};

class OplRows : public ::testing::TestWithParam<Case> {};

TEST_P(OplRows, AppendsTheRowText) { EXPECT_EQ(Decode(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    SystemRegisters, OplRows,
    ::testing::Values(
        Case{{}, {0, 0, 0x01, 0x20}, "TEST=$20 [WAVE FORM SELECT ON]"},
        Case{{}, {0, 0, 0x01, 0xDF}, "TEST=$df "},
        Case{{}, {0, 1, 0x01, 0xFF}, "TEST=$3f "},
        Case{{}, {0, 0, 0x02, 0x05}, "TIMER1=  5"},
        Case{{}, {0, 0, 0x02, 0xFF}, "TIMER1=255"},
        Case{{}, {0, 0, 0x03, 0x2A}, "TIMER2= 42"},
        Case{{}, {0, 0, 0x04, 0x60}, "TIMER CONTROL  TIMER1: ENABLE STOP  TIMER2: ENABLE STOP"},
        Case{{}, {0, 0, 0x04, 0x03}, "TIMER CONTROL  TIMER1: DISABLE START  TIMER2: DISABLE START"},
        Case{{}, {0, 0, 0x04, 0x80},
             "TIMER CONTROL  TIMER1: DISABLE STOP  TIMER2: DISABLE STOP [TIMER RESET]"},
        Case{{}, {0, 0, 0x04, 0x41}, "TIMER CONTROL  TIMER1: ENABLE START  TIMER2: DISABLE STOP"},
        Case{{kOpl3On}, {0, 1, 0x04, 0x05}, "OPL3 4-OP MODE: CH 0 - 2 - - -"},
        Case{{kOpl3On}, {0, 1, 0x04, 0xFF}, "OPL3 4-OP MODE: CH 0 1 2 3 4 5"},
        Case{{}, {0, 1, 0x04, 0x38}, "(Not OPL3 mode) OPL3 4-OP MODE: CH - - - 3 4 5"},
        Case{{}, {0, 1, 0x05, 0x01}, "[OPL3 mode]"},
        Case{{kOpl3On}, {0, 1, 0x05, 0xFE}, "[OPL2 mode]"},
        Case{{}, {0, 0, 0x08, 0x40}, "CSM: OFFNOTE SELECT: ON"},
        Case{{}, {0, 0, 0x08, 0x80}, "CSM: ONNOTE SELECT: OFF"},
        Case{{}, {0, 0, 0xBD, 0xE8}, "[AM DEPTH] [VIB DEPTH] [RHYTHM MODE ON]   S      "},
        Case{{}, {0, 0, 0xBD, 0x3F}, "[RHYTHM MODE ON] B S T C H"},
        Case{{}, {0, 0, 0xBD, 0x31}, "[RHYTHM MODE ON] B       H"},
        Case{{}, {0, 0, 0xBD, 0x1F}, "[RHYTHM MODE OFF]"},
        Case{{}, {0, 0, 0xBD, 0x9F}, "[AM DEPTH] [RHYTHM MODE OFF]"},
        Case{{}, {0, 0, 0xBD, 0x40}, "[VIB DEPTH] [RHYTHM MODE OFF]"}));

INSTANTIATE_TEST_SUITE_P(
    OperatorRows, OplRows,
    ::testing::Values(
        Case{{}, {0, 0, 0x20, 0xA1}, "FM#00 op=1 ML=1 AM EG"},
        Case{{}, {0, 0, 0x20, 0xFF}, "FM#00 op=1 ML=15 AM VIB EG KSR"},
        Case{{}, {0, 0, 0x23, 0x50}, "FM#00 op=2 ML=0 VIB KSR"},
        Case{{}, {0, 0, 0x40, 0xBF}, "FM#00 op=1 TL=63 KSL=2"},
        Case{{}, {0, 0, 0x55, 0x40}, "FM#08 op=2 TL=0 KSL=1"},
        Case{{}, {0, 0, 0x60, 0xF2}, "FM#00 op=1 AR=15 DR=2"},
        Case{{}, {0, 0, 0x80, 0x3C}, "FM#00 op=1 RR=12 SL=3"},
        Case{{}, {0, 0, 0x93, 0xF0}, "FM#06 op=2 RR=0 SL=15"},
        Case{{}, {0, 0, 0xE0, 0xFF}, "FM#00 op=1 WAVEFORM=3"},
        Case{{kOpl3On}, {0, 0, 0xE0, 0xFF}, "FM#00 op=1 WAVEFORM=7"},
        Case{{kOpl3On, kOpl3Off}, {0, 0, 0xE0, 0x06}, "FM#00 op=1 WAVEFORM=2"},
        Case{{kOpl3On}, {0, 1, 0xF5, 0x05}, "FM#17 op=2 WAVEFORM=5"},
        Case{{}, {0, 1, 0xF5, 0x05}, "(Not OPL3 mode) FM#17 op=2 WAVEFORM=1"},
        Case{{}, {0, 1, 0x48, 0x00}, "(Not OPL3 mode) FM#12 op=1 TL=0 KSL=0"},
        Case{{kOpl3On}, {0, 1, 0x48, 0x00}, "FM#12 op=1 TL=0 KSL=0"},
        Case{{kOpl3On}, {0, 1, 0x20, 0x01}, "FM#09 op=1 ML=1"},
        Case{{kOpl3On}, {0, 1, 0x6B, 0x21}, "FM#12 op=2 AR=2 DR=1"},
        Case{{kOpl3On}, {0, 1, 0x84, 0x11}, "FM#10 op=2 RR=1 SL=1"}));

// Every operator offset of one row, against the chip's slot order.
INSTANTIATE_TEST_SUITE_P(
    SlotOrder, OplRows,
    ::testing::Values(Case{{}, {0, 0, 0x60, 0x12}, "FM#00 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x61, 0x12}, "FM#01 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x62, 0x12}, "FM#02 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x63, 0x12}, "FM#00 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x64, 0x12}, "FM#01 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x65, 0x12}, "FM#02 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x68, 0x12}, "FM#03 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x69, 0x12}, "FM#04 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x6A, 0x12}, "FM#05 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x6B, 0x12}, "FM#03 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x6C, 0x12}, "FM#04 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x6D, 0x12}, "FM#05 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x70, 0x12}, "FM#06 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x71, 0x12}, "FM#07 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x72, 0x12}, "FM#08 op=1 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x73, 0x12}, "FM#06 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x74, 0x12}, "FM#07 op=2 AR=1 DR=2"},
                      Case{{}, {0, 0, 0x75, 0x12}, "FM#08 op=2 AR=1 DR=2"},
                      Case{{kOpl3On}, {0, 1, 0x70, 0x12}, "FM#15 op=1 AR=1 DR=2"},
                      Case{{kOpl3On}, {0, 1, 0x75, 0x12}, "FM#17 op=2 AR=1 DR=2"}));

INSTANTIATE_TEST_SUITE_P(
    ChannelRows, OplRows,
    ::testing::Values(
        Case{{}, {0, 0, 0xA0, 0x41}, "FM#00 F-NUM1=$41"},
        Case{{}, {0, 0, 0xA8, 0xFF}, "FM#08 F-NUM1=$ff"},
        Case{{{0, 0, 0xA3, 0x41}}, {0, 0, 0xB3, 0x2D}, "FM#03 BLOCK=3 F-NUM2=$01($141) Key-ON"},
        Case{{}, {0, 0, 0xB0, 0x01}, "FM#00 BLOCK=0 F-NUM2=$01($100) Key-OFF"},
        Case{{{0, 0, 0xA8, 0xFF}}, {0, 0, 0xB8, 0x3F}, "FM#08 BLOCK=7 F-NUM2=$03($3ff) Key-ON"},
        // A new high part replaces the old one; the low byte stays.
        Case{{{0, 0, 0xA1, 0x80}, {0, 0, 0xB1, 0x03}}, {0, 0, 0xB1, 0x00},
             "FM#01 BLOCK=0 F-NUM2=$00($080) Key-OFF"},
        // A new low byte keeps the high part.
        Case{{{0, 0, 0xB2, 0x02}, {0, 0, 0xA2, 0x11}}, {0, 0, 0xB2, 0x22},
             "FM#02 BLOCK=0 F-NUM2=$02($211) Key-ON"},
        Case{{kOpl3On}, {0, 1, 0xA0, 0x10}, "FM#09 F-NUM1=$10"},
        Case{{}, {0, 1, 0xA8, 0x10}, "(Not OPL3 mode) FM#17 F-NUM1=$10"},
        Case{{kOpl3On}, {0, 1, 0xB8, 0x15}, "FM#17 BLOCK=5 F-NUM2=$01($100) Key-OFF"},
        Case{{}, {0, 0, 0xC0, 0x31}, "FM#00 CONNECT=1 FB=0  OUTPUT CH: A B - -"},
        Case{{}, {0, 0, 0xC8, 0xCE}, "FM#08 CONNECT=0 FB=7  OUTPUT CH: - - C D"},
        Case{{kOpl3On}, {0, 1, 0xC4, 0xF3}, "FM#13 CONNECT=1 FB=1  OUTPUT CH: A B C D"},
        Case{{}, {0, 1, 0xC0, 0x00}, "(Not OPL3 mode) FM#09 CONNECT=0 FB=0  OUTPUT CH: - - - -"}));

// The second-bank warning follows the mode switch and belongs to one device only.
INSTANTIATE_TEST_SUITE_P(
    OplModeWarning, OplRows,
    ::testing::Values(
        Case{{kOpl3On, kOpl3Off}, {0, 1, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"},
        Case{{kOpl3On, kOpl3Off, {0, 1, 0x05, 0x03}}, {0, 1, 0x40, 0x00}, "FM#09 op=1 TL=0 KSL=0"},
        // Only bit 0 of $05 counts.
        Case{{{0, 1, 0x05, 0x02}}, {0, 1, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"},
        // A port 0 $05 write is not the mode switch.
        Case{{{0, 0, 0x05, 0x01}}, {0, 1, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"},
        Case{{kOpl3On}, {1, 1, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"},
        Case{{{126, 1, 0x05, 0x01}}, {126, 1, 0x40, 0x00}, "FM#09 op=1 TL=0 KSL=0"},
        Case{{{126, 1, 0x05, 0x01}}, {0, 1, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"},
        Case{{}, {0, 1, 0x05, 0x00}, "[OPL2 mode]"},
        Case{{}, {0, 1, 0x01, 0x00}, "TEST=$00 "},
        Case{{}, {0, 0, 0x40, 0x00}, "FM#00 op=1 TL=0 KSL=0"},
        // Only bit 0 of the port argument selects the bank.
        Case{{}, {0, 3, 0x40, 0x00}, "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0"}));

// F-number latches: one per channel of each bank of each device.
INSTANTIATE_TEST_SUITE_P(
    Latches, OplRows,
    ::testing::Values(
        Case{{kOpl3On, {0, 0, 0xA3, 0x41}, {0, 1, 0xA3, 0x22}}, {0, 0, 0xB3, 0x01},
             "FM#03 BLOCK=0 F-NUM2=$01($141) Key-OFF"},
        Case{{kOpl3On, {0, 0, 0xA3, 0x41}, {0, 1, 0xA3, 0x22}}, {0, 1, 0xB3, 0x02},
             "FM#12 BLOCK=0 F-NUM2=$02($222) Key-OFF"},
        Case{{kOpl3On, {0, 0, 0xA3, 0x41}}, {0, 1, 0xB3, 0x02}, "FM#12 BLOCK=0 F-NUM2=$02($200) Key-OFF"},
        Case{{{1, 0, 0xA3, 0x41}}, {0, 0, 0xB3, 0x01}, "FM#03 BLOCK=0 F-NUM2=$01($100) Key-OFF"},
        Case{{{0, 0, 0xA4, 0x41}}, {0, 0, 0xB3, 0x01}, "FM#03 BLOCK=0 F-NUM2=$01($100) Key-OFF"},
        Case{{{126, 1, 0xA8, 0x99}}, {126, 1, 0xB8, 0x23},
             "(Not OPL3 mode) FM#17 BLOCK=0 F-NUM2=$03($399) Key-ON"}));

// Every register the chip leaves unused appends nothing, not even the second-bank warning.
TEST(OplUncovered, AppendNothingOnEitherPortWhateverTheMode) {
  // Registers with a text, per bank.
  std::set<unsigned> covered[2];
  for (unsigned row : {0x20u, 0x40u, 0x60u, 0x80u, 0xE0u}) {
    for (unsigned offset = 0; offset < 22; ++offset) {
      if (offset == 6 || offset == 7 || offset == 14 || offset == 15) continue;
      covered[0].insert(row + offset);
      covered[1].insert(row + offset);
    }
  }
  for (unsigned ch = 0; ch < 9; ++ch) {
    for (unsigned row : {0xA0u, 0xB0u, 0xC0u}) {
      covered[0].insert(row + ch);
      covered[1].insert(row + ch);
    }
  }
  covered[0].insert({0x01, 0x02, 0x03, 0x04, 0x08, 0xBD});
  covered[1].insert({0x01, 0x04, 0x05});

  for (unsigned mode = 0; mode < 2; ++mode) {
    for (int port = 0; port < 2; ++port) {
      for (unsigned reg = 0; reg < 256; ++reg) {
        Harness h;
        h.Write(0, 1, 0x05, mode);
        const std::string text = h.Write(0, port, reg, 0xFF);
        if (covered[port].count(reg) != 0) {
          EXPECT_FALSE(text.empty()) << "port " << port << " reg " << reg;
        } else {
          EXPECT_EQ(text, "") << "port " << port << " reg " << reg << " mode " << mode;
        }
      }
    }
  }
}

// Register and value bytes only come from one byte each; nothing beyond them is decoded.
TEST(OplUncovered, RegistersAboveTheByteRange) {
  Harness h;
  EXPECT_EQ(h.Write(0, 0, 0x120, 0x00), "");
  EXPECT_EQ(h.Write(0, 0, 0x1A0, 0x00), "");
}

// State belongs to one decoder object and starts from zero in each.
TEST(OplState, FreshDecoderStartsFromZero) {
  Harness first;
  first.Write(0, 1, 0x05, 0x01);
  first.Write(0, 0, 0xA0, 0xFF);
  Harness second;
  EXPECT_EQ(second.Write(0, 1, 0x40, 0x00), "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0");
  EXPECT_EQ(second.Write(0, 0, 0xB0, 0x00), "FM#00 BLOCK=0 F-NUM2=$00($000) Key-OFF");
  EXPECT_EQ(first.Write(0, 0, 0xB0, 0x00), "FM#00 BLOCK=0 F-NUM2=$00($0ff) Key-OFF");
}

// An index beyond the command byte's range is decoded from a blank record and leaves all others alone.
TEST(OplState, IndexOutsideTheRangeKeepsNothing) {
  Harness h;
  for (int device : {-1, 127, 1000}) {
    EXPECT_EQ(h.Write(device, 1, 0x05, 0x01), "[OPL3 mode]");
    EXPECT_EQ(h.Write(device, 0, 0xA0, 0x12), "FM#00 F-NUM1=$12");
    EXPECT_EQ(h.Write(device, 1, 0x40, 0x00), "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0");
    EXPECT_EQ(h.Write(device, 0, 0xB0, 0x00), "FM#00 BLOCK=0 F-NUM2=$00($000) Key-OFF");
  }
  for (int device : {0, 63, 64, 126}) {
    EXPECT_EQ(h.Write(device, 1, 0x40, 0x00), "(Not OPL3 mode) FM#09 op=1 TL=0 KSL=0") << device;
    EXPECT_EQ(h.Write(device, 0, 0xB0, 0x00), "FM#00 BLOCK=0 F-NUM2=$00($000) Key-OFF") << device;
  }
}

}  // namespace
}  // namespace tavrin
