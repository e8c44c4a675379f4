// Tests of the OPM register decoder: one row per register write, and write sequences for timer A.
#include "chips/opm/opm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/decoder_harness.h"

namespace tavrin {
namespace {

using testing::DecoderHarness;

struct WriteCase {
  unsigned reg;
  unsigned value;
  const char* expected;
};

// Each row on a decoder that has seen nothing else, so timer A starts from zero.
const WriteCase kSingleWrites[] = {
    {0x01, 0x02, "TEST=$02 [HW LFO RESET ON]"},
    {0x01, 0xFD, "TEST=$fd [HW LFO RESET OFF]"},
    {0x08, 0x41, "FM#1 Key-ON/OFF 1 - - -"},
    {0x08, 0x0F, "FM#7 Key-ON/OFF - - - 4"},
    {0x08, 0x22, "FM#2 Key-ON/OFF - 2 - -"},
    {0x08, 0x13, "FM#3 Key-ON/OFF - - 3 -"},
    {0x08, 0x78, "FM#0 Key-ON/OFF 1 2 3 4"},
    {0x08, 0x87, "FM#7 Key-ON/OFF - - - -"},
    {0x0F, 0x9F, "NOISE ENABLE  NOISE FREQ=31"},
    {0x0F, 0x05, "NOISE DISABLE NOISE FREQ= 5"},
    {0x0F, 0xEA, "NOISE ENABLE  NOISE FREQ=10"},
    {0x10, 0xFF, "TIMER-A CLKA1=$ff($3fc)"},
    {0x10, 0x01, "TIMER-A CLKA1=$01($004)"},
    {0x11, 0xFE, "TIMER-A CLKA2=$02($002)"},
    {0x12, 0xC8, "TIMER-B CLKB=$c8"},
    {0x12, 0x05, "TIMER-B CLKB=$05"},
    {0x14, 0x15, "Mode: NORMAL  TIMER-A: START ENABLE RESET  TIMER-B: STOP  DISABLE"},
    {0x14, 0xAA, "Mode: CSM  TIMER-A: STOP  DISABLE  TIMER-B: START ENABLE  RESET"},
    {0x14, 0x00, "Mode: NORMAL  TIMER-A: STOP  DISABLE  TIMER-B: STOP  DISABLE"},
    {0x14, 0x40, "Mode: NORMAL  TIMER-A: STOP  DISABLE  TIMER-B: STOP  DISABLE"},
    {0x14, 0xFF, "Mode: CSM  TIMER-A: START ENABLE RESET  TIMER-B: START ENABLE  RESET"},
    {0x14, 0x30, "Mode: NORMAL  TIMER-A: STOP  DISABLE RESET  TIMER-B: STOP  DISABLE RESET"},
    {0x14, 0x0C, "Mode: NORMAL  TIMER-A: STOP  ENABLE  TIMER-B: STOP  ENABLE "},
    {0x18, 0xC1, "HW LFO FREQ=$c1"},
    {0x19, 0xFF, "HW LFO PMD=$7f"},
    {0x19, 0x40, "HW LFO AMD=$40"},
    {0x19, 0x80, "HW LFO PMD=$00"},
    {0x1B, 0xC2, "HW LFO WAVEFORM=2"},
    {0x1B, 0x03, "HW LFO WAVEFORM=3"},
    {0x20, 0xC7, "FM#0 FB=0 AL=7 L R"},
    {0x20, 0x3F, "FM#0 FB=7 AL=7"},
    {0x27, 0xAA, "FM#7 FB=5 AL=2 L"},
    {0x23, 0x40, "FM#3 FB=0 AL=0 R"},
    {0x28, 0x4A, "FM#0 KEY-CODE OCT=5 NOTE=a "},
    {0x2F, 0x0E, "FM#7 KEY-CODE OCT=1 NOTE=c "},
    {0x28, 0x73, "FM#0 KEY-CODE OCT=8 NOTE=??"},
    {0x2B, 0xB4, "FM#3 KEY-CODE OCT=4 NOTE=e "},
    {0x30, 0xFC, "FM#0 KEY-FRACTION=$3f"},
    {0x35, 0x07, "FM#5 KEY-FRACTION=$01"},
    {0x38, 0x73, "FM#0 PMS=7 AMS=3"},
    {0x3A, 0x52, "FM#2 PMS=5 AMS=2"},
    {0x3F, 0x8C, "FM#7 PMS=0 AMS=0"},
    {0x40, 0x21, "FM#0 (slot0) DT1= 2 ML= 1"},
    {0x48, 0x21, "FM#0 (slot3) DT1= 2 ML= 1"},
    {0x50, 0x21, "FM#0 (slot1) DT1= 2 ML= 1"},
    {0x58, 0x21, "FM#0 (slot2) DT1= 2 ML= 1"},
    {0x5F, 0xFF, "FM#7 (slot2) DT1= 7 ML=15"},
    {0x60, 0xFF, "FM#0 (slot0) TL=255"},
    {0x6B, 0x05, "FM#3 (slot3) TL=  5"},
    {0x7E, 0x7F, "FM#6 (slot2) TL=127"},
    {0x80, 0xDF, "FM#0 (slot0) KS=3 AR=31"},
    {0x91, 0x25, "FM#1 (slot1) KS=0 AR= 5"},
    {0xA0, 0x9F, "FM#0 (slot0) DR=31 AMS-ON"},
    {0xA0, 0x1F, "FM#0 (slot0) DR=31 AMS-OFF"},
    {0xBC, 0x63, "FM#4 (slot2) DR= 3 AMS-OFF"},
    {0xC0, 0xFF, "FM#0 (slot0) DT2=3 SR=31"},
    {0xCA, 0x47, "FM#2 (slot3) DT2=1 SR= 7"},
    {0xE0, 0xF0, "FM#0 (slot0) SL=15 RR= 0"},
    {0xF5, 0x3A, "FM#5 (slot1) SL= 3 RR=10"},
};

TEST(OpmDetailDecoder, AnnotatesEachRegister) {
  for (const WriteCase& row : kSingleWrites) {
    SCOPED_TRACE(::testing::Message() << "reg $" << std::hex << row.reg << " value $" << row.value);
    DecoderHarness<OpmDetailDecoder> h;
    EXPECT_EQ(h.Write(0, 0, row.reg, row.value), row.expected);
  }
}

TEST(OpmDetailDecoder, NamesEveryNoteCode) {
  const char* const names[16] = {"c+", "d ", "d+", "??", "e ", "f ", "f+", "??",
                                 "g ", "g+", "a ", "??", "a+", "b ", "c ", "??"};
  DecoderHarness<OpmDetailDecoder> h;
  for (unsigned code = 0; code < 16; ++code) {
    EXPECT_EQ(h.Write(0, 0, 0x2A, 0x60 | code), std::string("FM#2 KEY-CODE OCT=7 NOTE=") + names[code])
        << "note code " << code;
  }
}

TEST(OpmDetailDecoder, UndecodedRegistersAppendNothing) {
  const unsigned silent[] = {0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x0C,
                             0x0D, 0x0E, 0x13, 0x15, 0x16, 0x17, 0x1A, 0x1C, 0x1D, 0x1E, 0x1F};
  DecoderHarness<OpmDetailDecoder> h;
  for (unsigned reg : silent) {
    for (unsigned value : {0x00u, 0x5Au, 0xFFu}) {
      EXPECT_EQ(h.Write(0, 0, reg, value), "") << "reg $" << std::hex << reg << " value $" << value;
    }
  }
}

// Every channel and operator register names the channel of its low address bits and, for operators,
// the slot of its block of eight.
TEST(OpmDetailDecoder, ChannelAndSlotFollowTheAddress) {
  const int slotOfBlock[4] = {0, 3, 1, 2};
  DecoderHarness<OpmDetailDecoder> h;
  for (unsigned reg = 0x20; reg <= 0xFF; ++reg) {
    const std::string text = h.Write(0, 0, reg, 0x00);
    std::string head = "FM#" + std::to_string(reg & 7) + " ";
    if (reg >= 0x40) head += "(slot" + std::to_string(slotOfBlock[(reg >> 3) & 3]) + ") ";
    EXPECT_EQ(text.substr(0, head.size()), head) << "reg $" << std::hex << reg;
  }
}

TEST(OpmDetailDecoder, PortDoesNotMatter) {
  DecoderHarness<OpmDetailDecoder> port0;
  DecoderHarness<OpmDetailDecoder> port1;
  for (unsigned reg = 0; reg <= 0xFF; ++reg) {
    for (unsigned value : {0x00u, 0x4Au, 0xB5u, 0xFFu}) {
      EXPECT_EQ(port1.Write(0, 1, reg, value), port0.Write(0, 0, reg, value))
          << "reg $" << std::hex << reg << " value $" << value;
    }
  }
}

struct Step {
  int device;
  int port;
  unsigned reg;
  unsigned value;
  const char* expected;
};

struct SequenceCase {
  const char* name;
  std::vector<Step> steps;
};

const SequenceCase kTimerSequences[] = {
    {"high then low bits",
     {{0, 0, 0x10, 0xFF, "TIMER-A CLKA1=$ff($3fc)"},
      {0, 0, 0x11, 0x03, "TIMER-A CLKA2=$03($3ff)"},
      {0, 0, 0x11, 0xFE, "TIMER-A CLKA2=$02($3fe)"}}},
    {"low bits first, then high bits keep them",
     {{0, 0, 0x11, 0x01, "TIMER-A CLKA2=$01($001)"},
      {0, 0, 0x10, 0x80, "TIMER-A CLKA1=$80($201)"},
      {0, 0, 0x10, 0x00, "TIMER-A CLKA1=$00($001)"}}},
    {"other registers leave the timer alone",
     {{0, 0, 0x10, 0x12, "TIMER-A CLKA1=$12($048)"},
      {0, 0, 0x12, 0xFF, "TIMER-B CLKB=$ff"},
      {0, 0, 0x14, 0xFF, "Mode: CSM  TIMER-A: START ENABLE RESET  TIMER-B: START ENABLE  RESET"},
      {0, 0, 0x13, 0xFF, ""},
      {0, 0, 0x11, 0x00, "TIMER-A CLKA2=$00($048)"}}},
    {"both ports share one timer",
     {{3, 0, 0x10, 0x40, "TIMER-A CLKA1=$40($100)"}, {3, 1, 0x11, 0x02, "TIMER-A CLKA2=$02($102)"}}},
    {"two devices keep separate timers",
     {{0, 0, 0x10, 0xFF, "TIMER-A CLKA1=$ff($3fc)"},
      {1, 0, 0x11, 0x01, "TIMER-A CLKA2=$01($001)"},
      {0, 0, 0x11, 0x00, "TIMER-A CLKA2=$00($3fc)"},
      {1, 0, 0x10, 0x01, "TIMER-A CLKA1=$01($005)"}}},
    {"device indexes past 63 have their own records",
     {{63, 0, 0x10, 0x01, "TIMER-A CLKA1=$01($004)"},
      {64, 0, 0x10, 0x02, "TIMER-A CLKA1=$02($008)"},
      {126, 0, 0x10, 0x03, "TIMER-A CLKA1=$03($00c)"},
      {126, 1, 0x11, 0x01, "TIMER-A CLKA2=$01($00d)"},
      {64, 0, 0x11, 0x00, "TIMER-A CLKA2=$00($008)"},
      {63, 0, 0x11, 0x03, "TIMER-A CLKA2=$03($007)"}}},
};

TEST(OpmDetailDecoder, AssemblesTimerA) {
  for (const SequenceCase& sequence : kTimerSequences) {
    SCOPED_TRACE(sequence.name);
    DecoderHarness<OpmDetailDecoder> h;
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
      const Step& step = sequence.steps[i];
      EXPECT_EQ(h.Write(step.device, step.port, step.reg, step.value), step.expected) << "step " << i;
    }
  }
}

// Each conversion has its own decoder, so one file's timer never shows in the next file's report.
TEST(OpmDetailDecoder, NewDecoderStartsFromZero) {
  DecoderHarness<OpmDetailDecoder> first;
  EXPECT_EQ(first.Write(0, 0, 0x10, 0xFF), "TIMER-A CLKA1=$ff($3fc)");
  DecoderHarness<OpmDetailDecoder> second;
  EXPECT_EQ(second.Write(0, 0, 0x11, 0x01), "TIMER-A CLKA2=$01($001)");
  EXPECT_EQ(first.Write(0, 0, 0x11, 0x01), "TIMER-A CLKA2=$01($3fd)");
}

}  // namespace
}  // namespace tavrin
