// OpnDetailDecoder: one row per register write (after earlier writes) with the exact text it appends.
#include "chips/opn/opn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/decoder_harness.h"

namespace tavrin {
namespace {

struct Write {
  int device;
  int port;
  unsigned reg;
  unsigned value;
};
constexpr Write P0(unsigned reg, unsigned value) { return {0, 0, reg, value}; }
constexpr Write P1(unsigned reg, unsigned value) { return {0, 1, reg, value}; }

struct Case {
  const char* name;
  std::vector<Write> before;  // earlier writes on a fresh decoder; their texts are not checked
  Write write;
  std::string expected;
};

void RunTable(const std::vector<Case>& table) {
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    testing::DecoderHarness<OpnDetailDecoder> h;
    for (const Write& w : c.before) h.Write(w.device, w.port, w.reg, w.value);
    EXPECT_EQ(h.Write(c.write.device, c.write.port, c.write.reg, c.write.value), c.expected);
  }
}

// Which addresses decode to something, per port, read straight off the chip's address map. $2A is
// left out: it prints only once the DAC is on (covered below).
bool Decoded(int port, unsigned reg) {
  const bool channelRow =
      (reg >= 0x30 && reg <= 0x9E) || (reg >= 0xA0 && reg <= 0xA6) || (reg >= 0xB0 && reg <= 0xB6);
  if (channelRow) return (reg & 3) != 3;
  if (port == 0) {
    if (reg <= 0x12 || (reg >= 0x18 && reg <= 0x1D)) return true;
    if (reg == 0x21 || reg == 0x22 || (reg >= 0x24 && reg <= 0x29) || reg == 0x2B) return true;
    if (reg >= 0x2D && reg <= 0x2F) return true;
    return (reg >= 0xA8 && reg <= 0xAE) && (reg & 3) != 3;
  }
  return reg <= 0x10 || reg == 0x2B;
}

TEST(OpnDetailDecoder, EveryAddressOfBothPortsRoutesAsTheAddressMapSays) {
  for (int port = 0; port < 2; ++port) {
    for (unsigned reg = 0; reg < 256; ++reg) {
      if (reg == 0x2A) continue;
      testing::DecoderHarness<OpnDetailDecoder> h;
      EXPECT_EQ(!h.Write(0, port, reg, 0xFF).empty(), Decoded(port, reg))
          << "port " << port << " reg " << reg;
    }
  }
}

TEST(OpnDetailDecoder, RoutingByPort) {
  RunTable({
      {"SSG on port 0", {}, P0(0x0F, 0x12), "SSG I/O Port B=$12"},
      {"ADPCM on port 1", {}, P1(0x0F, 0x12), "PCM DATA=$12"},
      {"$10 port 0 is the rhythm key", {}, P0(0x10, 0x00), "RHY Key-ON : - - - - - -"},
      {"$10 port 1 is the ADPCM flag control", {}, P1(0x10, 0x00), "ADPCM FLAG CONTROL :"},
      {"rhythm level on port 1", {}, P1(0x1D, 0xFF), ""},
      {"timer A on port 1 keeps no state", {P1(0x24, 0xFF)}, P0(0x25, 0x01), "TIMER-A2=$01($001)"},
      {"mode on port 1 leaves normal mode", {P1(0x27, 0x40)}, P0(0xA2, 0x12), "FM#2 F-NUM1=$12(OCT=0 $012)"},
      {"special-mode rows on port 1 keep no state",
       {P1(0xAD, 0x2D)},
       P1(0xA0, 0x11),
       "FM#3 F-NUM1=$11(OCT=0 $011)"},
      {"DAC enable on port 1", {}, P1(0x2B, 0x80), "FM#5 DAC ENABLE"},
      {"DAC sample on port 1 after enable on port 0", {P0(0x2B, 0x80)}, P1(0x2A, 0x7F), "FM#5 DAC $7f"},
      {"operators on port 1 are FM#3..FM#5", {}, P1(0x4E, 0x01), "FM#5 (slot4) TL=  1"},
      {"ports use only bit 0", {}, {0, 3, 0x0F, 0x12}, "PCM DATA=$12"},
  });
}

TEST(OpnDetailDecoder, CommonRegisters) {
  RunTable({
      {"test", {}, P0(0x21, 0x5A), "FM Test : 5a"},
      {"LFO on is bit 6", {}, P0(0x22, 0x4A), "FM HW LFO ON Freq: 2"},
      {"LFO bit 3 alone is off", {}, P0(0x22, 0x0F), "FM HW LFO OFF Freq: 7"},
      {"timer A high", {}, P0(0x24, 0xFF), "TIMER-A1=$ff($3fc)"},
      {"timer A high keeps low bits", {P0(0x25, 0x02)}, P0(0x24, 0x01), "TIMER-A1=$01($006)"},
      {"timer A low keeps high bits", {P0(0x24, 0x80)}, P0(0x25, 0xFF), "TIMER-A2=$ff($203)"},
      {"timer B", {}, P0(0x26, 0x05), "TIMER-B=  5"},
      {"mode $15",
       {},
       P0(0x27, 0x15),
       "FM3Mode:NORMAL  TIMER-A: START ENABLE  RESET  TIMER-B: STOP  DISABLE -----"},
      {"mode $6A",
       {},
       P0(0x27, 0x6A),
       "FM3Mode:EFFECT  TIMER-A: STOP  DISABLE -----  TIMER-B: START ENABLE  RESET"},
      {"mode CSM",
       {},
       P0(0x27, 0x80),
       "FM3Mode:CSM  TIMER-A: STOP  DISABLE -----  TIMER-B: STOP  DISABLE -----"},
      {"mode both bits",
       {},
       P0(0x27, 0xC0),
       "FM3Mode:(undefined)  TIMER-A: STOP  DISABLE -----  TIMER-B: STOP  DISABLE -----"},
      {"key all slots", {}, P0(0x28, 0xF1), "FM#1 Key-ON/OFF slot: 1 2 3 4"},
      {"key code 4", {}, P0(0x28, 0x34), "FM#3 Key-ON/OFF slot: 1 2 - -"},
      {"key code 3", {}, P0(0x28, 0xA3), "FM#3 Key-ON/OFF slot: - 2 - 4"},
      {"key code 6", {}, P0(0x28, 0x06), "FM#5 Key-ON/OFF slot: - - - -"},
      {"key code 7", {}, P0(0x28, 0x87), "FM#6 Key-ON/OFF slot: - - - 4"},
      {"IRQ all",
       {},
       P0(0x29, 0xFF),
       "IRQ Enable: ENABLE_TIMERA ENABLE_TIMERB ENABLE_EOS EN_BRDY EN_ZERO ENABLE_FM4-6"},
      {"IRQ bits 5 and 6", {}, P0(0x29, 0x60), "IRQ Enable:"},
      {"IRQ some", {}, P0(0x29, 0x8A), "IRQ Enable: ENABLE_TIMERB EN_BRDY ENABLE_FM4-6"},
      {"DAC sample before enable", {}, P0(0x2A, 0x40), ""},
      {"DAC sample after a $2B without bit 7", {P0(0x2B, 0x7F)}, P0(0x2A, 0x40), ""},
      {"DAC enable", {}, P0(0x2B, 0xFF), "FM#5 DAC ENABLE"},
      {"DAC sample after enable", {P0(0x2B, 0x80)}, P0(0x2A, 0x40), "FM#5 DAC $40"},
      {"DAC disable", {P0(0x2B, 0x80)}, P0(0x2B, 0x7F), "FM#5 DAC DISABLE"},
      {"DAC sample after disable", {P0(0x2B, 0x80), P1(0x2B, 0x00)}, P0(0x2A, 0x40), ""},
      {"prescaler $2D", {}, P0(0x2D, 0xFF), "Prescaler"},
      {"prescaler $2E", {}, P0(0x2E, 0x00), "Prescaler FM=1/6 SSG=1/2"},
      {"prescaler $2F", {}, P0(0x2F, 0x12), "Prescaler FM=1/2 SSG=1/1"},
  });
}

TEST(OpnDetailDecoder, OperatorRows) {
  RunTable({
      {"DT is two bits", {}, P0(0x30, 0x71), "FM#0 (slot1) DT=3  ML= 1"},
      {"ML", {}, P0(0x30, 0x4F), "FM#0 (slot1) DT=0  ML=15"},
      {"offset +4 is slot 3", {}, P0(0x35, 0x12), "FM#1 (slot3) DT=1  ML= 2"},
      {"offset +8 is slot 2", {}, P0(0x3A, 0x00), "FM#2 (slot2) DT=0  ML= 0"},
      {"offset +C is slot 4", {}, P0(0x3C, 0x00), "FM#0 (slot4) DT=0  ML= 0"},
      {"TL", {}, P0(0x40, 0xFF), "FM#0 (slot1) TL=127"},
      {"TL pads", {}, P1(0x45, 0x05), "FM#4 (slot3) TL=  5"},
      {"KS AR", {}, P0(0x50, 0xFF), "FM#0 (slot1) KS=3  AR=31"},
      {"KS AR pads", {}, P0(0x58, 0x45), "FM#0 (slot2) KS=1  AR= 5"},
      {"AMON DR", {}, P0(0x60, 0x9F), "FM#0 (slot1) AMON=1  DR=31"},
      {"AMON off", {}, P1(0x6A, 0x65), "FM#5 (slot2) AMON=0  DR= 5"},
      {"SR", {}, P0(0x70, 0xFF), "FM#0 (slot1) SR=31"},
      {"SL RR", {}, P0(0x80, 0xFF), "FM#0 (slot1) SL=15  RR=15"},
      {"SL RR pads", {}, P0(0x8C, 0x23), "FM#0 (slot4) SL= 2  RR= 3"},
      {"SSG-EG", {}, P0(0x90, 0xFF), "FM#0 (slot1) SSG-EG=15"},
      {"SSG-EG port 1", {}, P1(0x9E, 0x08), "FM#5 (slot4) SSG-EG= 8"},
  });
}

TEST(OpnDetailDecoder, ChannelRows) {
  RunTable({
      {"F-NUM1 on a fresh channel", {}, P0(0xA0, 0x44), "FM#0 F-NUM1=$44(OCT=0 $044)"},
      {"F-NUM2 prints block + 1", {}, P0(0xA4, 0x22), "FM#0 BLOCK=5 F-NUM2=$02"},
      {"F-NUM1 after F-NUM2", {P0(0xA4, 0x22)}, P0(0xA0, 0x69), "FM#0 F-NUM1=$69(OCT=4 $269)"},
      {"F-NUM2 prints three bits", {}, P0(0xA4, 0xFF), "FM#0 BLOCK=8 F-NUM2=$07"},
      {"F-NUM2 keeps the low byte",
       {P1(0xA1, 0xAB), P1(0xA5, 0x3F)},
       P1(0xA1, 0xCD),
       "FM#4 F-NUM1=$cd(OCT=7 $7cd)"},
      {"channels are separate", {P0(0xA4, 0x22)}, P0(0xA1, 0x69), "FM#1 F-NUM1=$69(OCT=0 $069)"},
      {"ports are separate", {P0(0xA4, 0x22)}, P1(0xA0, 0x69), "FM#3 F-NUM1=$69(OCT=0 $069)"},
      {"port 1 F-NUM2", {}, P1(0xA6, 0x0B), "FM#5 BLOCK=2 F-NUM2=$03"},
      {"FB AL", {}, P0(0xB0, 0x3F), "FM#0 FB=7 AL=7"},
      {"FB AL ignore bits 7..6", {}, P0(0xB2, 0xC9), "FM#2 FB=1 AL=1"},
      {"pan both", {}, P1(0xB4, 0xC0), "FM#3 AMS=0 PMS=0 L R"},
      {"pan left", {}, P0(0xB5, 0xB7), "FM#1 AMS=3 PMS=7 L"},
      {"pan right", {}, P1(0xB6, 0x48), "FM#5 AMS=0 PMS=0 R"},
  });
}

TEST(OpnDetailDecoder, Fm2SpecialMode) {
  RunTable({
      {"$A2 in effect mode is slot 4",
       {P0(0x27, 0x40)},
       P0(0xA2, 0x12),
       "FM#2 (slot4) F-NUM1=$12 (OCT=0 $012)"},
      {"$A6 in CSM mode is slot 4", {P0(0x27, 0x80)}, P0(0xA6, 0x2B), "FM#2 (slot4) BLOCK=6 F-NUM2=$03"},
      {"slot 4 is FM#2's own entry",
       {P0(0xA6, 0x2B), P0(0x27, 0x40)},
       P0(0xA2, 0x12),
       "FM#2 (slot4) F-NUM1=$12 (OCT=5 $312)"},
      {"normal mode again", {P0(0x27, 0x40), P0(0x27, 0x00)}, P0(0xA2, 0x12), "FM#2 F-NUM1=$12(OCT=0 $012)"},
      {"undefined mode keeps special",
       {P0(0x27, 0x40), P0(0x27, 0xC0)},
       P0(0xA2, 0x12),
       "FM#2 (slot4) F-NUM1=$12 (OCT=0 $012)"},
      {"undefined mode keeps normal", {P0(0x27, 0xC0)}, P0(0xA6, 0x12), "FM#2 BLOCK=3 F-NUM2=$02"},
      {"$A0 stays normal", {P0(0x27, 0x40)}, P0(0xA0, 0x12), "FM#0 F-NUM1=$12(OCT=0 $012)"},
      {"$A5 stays normal", {P0(0x27, 0x40)}, P0(0xA5, 0x12), "FM#1 BLOCK=3 F-NUM2=$02"},
      {"$A2 on port 1 stays normal", {P0(0x27, 0x40)}, P1(0xA2, 0x12), "FM#5 F-NUM1=$12(OCT=0 $012)"},
      {"$A6 on port 1 stays normal", {P0(0x27, 0x40)}, P1(0xA6, 0x12), "FM#5 BLOCK=3 F-NUM2=$02"},
      {"$A9 is slot 1", {}, P0(0xA9, 0x34), "FM#2 (slot1) F-NUM1=$34 (OCT=0 $034)"},
      {"$AA is slot 2", {}, P0(0xAA, 0x34), "FM#2 (slot2) F-NUM1=$34 (OCT=0 $034)"},
      {"$A8 is slot 3", {}, P0(0xA8, 0x34), "FM#2 (slot3) F-NUM1=$34 (OCT=0 $034)"},
      {"$AD is slot 1", {}, P0(0xAD, 0x2D), "FM#2 (slot1) BLOCK=6 F-NUM2=$05"},
      {"$AE is slot 2", {}, P0(0xAE, 0x00), "FM#2 (slot2) BLOCK=1 F-NUM2=$00"},
      {"$AC is slot 3", {}, P0(0xAC, 0xFF), "FM#2 (slot3) BLOCK=8 F-NUM2=$07"},
      {"special F-NUM1 after F-NUM2",
       {P0(0xAC, 0x1A)},
       P0(0xA8, 0x34),
       "FM#2 (slot3) F-NUM1=$34 (OCT=3 $234)"},
      {"special F-NUM2 keeps the low byte",
       {P0(0xA9, 0xAB), P0(0xAD, 0x05)},
       P0(0xA9, 0xCD),
       "FM#2 (slot1) F-NUM1=$cd (OCT=0 $5cd)"},
      // Slots 1..3 are kept in the entries of port 1's FM#3..FM#5.
      {"slot 1 write shows in FM#3", {P0(0xAD, 0x2D)}, P1(0xA0, 0x11), "FM#3 F-NUM1=$11(OCT=5 $511)"},
      {"FM#4 write shows in slot 2",
       {P1(0xA5, 0x1A)},
       P0(0xAA, 0x34),
       "FM#2 (slot2) F-NUM1=$34 (OCT=3 $234)"},
      {"FM#5 F-number shows in slot 3",
       {P1(0xA6, 0x13)},
       P0(0xA8, 0x55),
       "FM#2 (slot3) F-NUM1=$55 (OCT=2 $355)"},
      {"slot 3 F-number shows in FM#5",
       {P0(0xA8, 0x77), P0(0xAC, 0x0B)},
       P1(0xA2, 0x55),
       "FM#5 F-NUM1=$55(OCT=1 $355)"},
  });
}

TEST(OpnDetailDecoder, SsgRegisters) {
  RunTable({
      {"fine on a fresh channel", {}, P0(0x00, 0x34), "SSG#0   Fine Tune=$34($034)"},
      {"coarse takes the low nibble", {}, P0(0x01, 0x1F), "SSG#0 Coarse Tune=$1f($f00)"},
      {"coarse keeps fine", {P0(0x04, 0x34)}, P0(0x05, 0x02), "SSG#2 Coarse Tune=$02($234)"},
      {"fine keeps coarse", {P0(0x03, 0x0A)}, P0(0x02, 0xBC), "SSG#1   Fine Tune=$bc($abc)"},
      {"channels are separate", {P0(0x01, 0x0F)}, P0(0x02, 0x01), "SSG#1   Fine Tune=$01($001)"},
      {"noise period", {}, P0(0x06, 0xFF), "SSG Noise Period=31"},
      {"noise period pads", {}, P0(0x06, 0x05), "SSG Noise Period= 5"},
      {"mixer $38", {}, P0(0x07, 0x38), "SSG Mixer/IO  TONE: 0 1 2  NOISE: - - -"},
      {"mixer all off", {}, P0(0x07, 0xFF), "SSG Mixer/IO  TONE: - - -  NOISE: - - -"},
      {"mixer all on", {}, P0(0x07, 0x00), "SSG Mixer/IO  TONE: 0 1 2  NOISE: 0 1 2"},
      {"mixer mixed", {}, P0(0x07, 0xE5), "SSG Mixer/IO  TONE: - 1 -  NOISE: 0 1 -"},
      {"volume", {}, P0(0x08, 0x0F), "SSG#0 VOL=15"},
      {"volume ignores bits 7..5", {}, P0(0x09, 0xE5), "SSG#1 VOL= 5"},
      {"envelope volume", {}, P0(0x0A, 0x10), "SSG#2 VOL= 0[HW Env ON]"},
      {"envelope fine", {}, P0(0x0B, 0x12), "SSG Env   Fine Tune=$12($0012)"},
      {"envelope coarse keeps fine", {P0(0x0B, 0x12)}, P0(0x0C, 0xFF), "SSG Env Coarse Tune=$ff($ff12)"},
      {"envelope fine keeps coarse", {P0(0x0C, 0xAB)}, P0(0x0B, 0xCD), "SSG Env   Fine Tune=$cd($abcd)"},
      {"shape is not masked", {}, P0(0x0D, 0x2A), "SSG Envelope Shape=42"},
      {"shape pads", {}, P0(0x0D, 0x05), "SSG Envelope Shape= 5"},
      {"port A", {}, P0(0x0E, 0xA5), "SSG I/O Port A=$a5"},
      {"port B", {}, P0(0x0F, 0x00), "SSG I/O Port B=$00"},
  });
}

TEST(OpnDetailDecoder, RhythmRegisters) {
  RunTable({
      {"key on one", {}, P0(0x10, 0x01), "RHY Key-ON : B - - - - -"},
      {"key off one", {}, P0(0x10, 0x81), "RHY Key-OFF : B - - - - -"},
      {"key all letters", {}, P0(0x10, 0x3F), "RHY Key-ON : B S C H T R"},
      {"key bit 6 prints nothing", {}, P0(0x10, 0x64), "RHY Key-ON : - - C - - R"},
      {"total level", {}, P0(0x11, 0x05), "RHY Total Level=005"},
      {"total level whole byte", {}, P0(0x11, 0xFF), "RHY Total Level=255"},
      {"test", {}, P0(0x12, 0x0A), "RHY Test : 0a"},
      {"bass drum", {}, P0(0x18, 0xDF), "RHY / Bass drum  VOL=31 L R"},
      {"level is six bits", {}, P0(0x18, 0x3F), "RHY / Bass drum  VOL=63"},
      {"snare drum", {}, P0(0x19, 0x80), "RHY / Snare drum VOL= 0 L"},
      {"cymbal", {}, P0(0x1A, 0x41), "RHY / Cymbal     VOL= 1 R"},
      {"hi-hat", {}, P0(0x1B, 0x0C), "RHY / Hi-Hat     VOL=12"},
      {"tom", {}, P0(0x1C, 0xC0), "RHY / Tom        VOL= 0 L R"},
      {"rim shot", {}, P0(0x1D, 0x9F), "RHY / Rim shot   VOL=31 L"},
      {"instrument level on port 1", {}, P1(0x18, 0xDF), ""},
  });
}

TEST(OpnDetailDecoder, AdpcmRegisters) {
  RunTable({
      {"control 1 all", {}, P1(0x00, 0xFF), "ADPCM CONTROL1 : RESET SP OFF REPEAT MEM DATA REC START"},
      {"control 1 bits 1 and 2", {}, P1(0x00, 0x06), "ADPCM CONTROL1 :"},
      {"control 2 pan", {}, P1(0x01, 0xC0), "ADPCM CONTROL2 : RAM RAM_TYPE=x1 L R"},
      {"control 2 bit 7 is R", {}, P1(0x01, 0x80), "ADPCM CONTROL2 : RAM RAM_TYPE=x1 R"},
      {"control 2 bit 6 is L", {}, P1(0x01, 0x70), "ADPCM CONTROL2 : RAM RAM_TYPE=x1 L"},
      {"control 2 low bits", {}, P1(0x01, 0x0F), "ADPCM CONTROL2 : ROM RAM_TYPE=x8 DA/AD SAMPLE"},
      {"start low", {}, P1(0x02, 0x34), "ADPCM START ADR(L)=$34($0034)"},
      {"start high keeps low", {P1(0x02, 0x34)}, P1(0x03, 0x12), "ADPCM START ADR(H)=$12($1234)"},
      {"start low keeps high", {P1(0x03, 0x12)}, P1(0x02, 0x34), "ADPCM START ADR(L)=$34($1234)"},
      {"stop low", {P1(0x05, 0xAB)}, P1(0x04, 0xCD), "ADPCM  STOP ADR(L)=$cd($abcd)"},
      {"stop high", {P1(0x04, 0xCD)}, P1(0x05, 0xAB), "ADPCM  STOP ADR(H)=$ab($abcd)"},
      {"prescale low", {P1(0x07, 0x03)}, P1(0x06, 0x20), "ADPCM PRESCALE(L)=$20($0320)"},
      {"prescale high keeps four bits", {P1(0x06, 0x20)}, P1(0x07, 0xFF), "ADPCM PRESCALE(H)=$ff($0f20)"},
      {"data", {}, P1(0x08, 0x80), "ADPCM DATA=$80"},
      {"delta-N low", {}, P1(0x09, 0x34), "ADPCM DELTA-N(L)=$34($0034)"},
      {"delta-N high", {P1(0x09, 0x34)}, P1(0x0A, 0x12), "ADPCM DELTA-N(H)=$12($1234)"},
      {"EG control", {}, P1(0x0B, 0xFF), "ADPCM EG-CONTROL=$ff"},
      {"limit low", {P1(0x0D, 0xFF)}, P1(0x0C, 0x01), "ADPCM LIMIT ADR(L)=$01($ff01)"},
      {"limit high", {P1(0x0C, 0x01)}, P1(0x0D, 0xFF), "ADPCM LIMIT ADR(H)=$ff($ff01)"},
      {"DAC data", {}, P1(0x0E, 0x12), "ADPCM DAC DATA=$12"},
      {"PCM data", {}, P1(0x0F, 0x34), "PCM DATA=$34"},
      {"flag control all",
       {},
       P1(0x10, 0xFF),
       "ADPCM FLAG CONTROL : MSK_TA MSK_TB MSK_EOS MSK_BRDY MSK_ZERO IRQ_RST"},
      {"flag control bits 5 and 6", {}, P1(0x10, 0x60), "ADPCM FLAG CONTROL :"},
      {"SSG writes on port 0 leave ADPCM alone",
       {P0(0x02, 0x34)},
       P1(0x03, 0x12),
       "ADPCM START ADR(H)=$12($1200)"},
  });
}

TEST(OpnDetailDecoder, DeviceRecordsAreSeparate) {
  RunTable({
      {"device 100 block", {{100, 0, 0xA4, 0x22}}, P0(0xA0, 0x69), "FM#0 F-NUM1=$69(OCT=0 $069)"},
      {"device 100 keeps its own",
       {{100, 0, 0xA4, 0x22}},
       {100, 0, 0xA0, 0x69},
       "FM#0 F-NUM1=$69(OCT=4 $269)"},
      {"device 100 timer A", {{100, 0, 0x24, 0xFF}}, P0(0x25, 0x00), "TIMER-A2=$00($000)"},
      {"device 100 special mode", {{100, 0, 0x27, 0x40}}, P0(0xA2, 0x12), "FM#2 F-NUM1=$12(OCT=0 $012)"},
      {"device 100 DAC", {{100, 0, 0x2B, 0x80}}, P0(0x2A, 0x12), ""},
      {"device 100 SSG", {{100, 0, 0x01, 0x0F}}, P0(0x00, 0x01), "SSG#0   Fine Tune=$01($001)"},
      {"device 100 ADPCM", {{100, 1, 0x03, 0x12}}, P1(0x02, 0x34), "ADPCM START ADR(L)=$34($0034)"},
      {"device 0 leaves device 126 alone",
       {P0(0x0C, 0x12)},
       {126, 0, 0x0B, 0x34},
       "SSG Env   Fine Tune=$34($0034)"},
      {"device 126 keeps its own",
       {{126, 0, 0x0C, 0x12}},
       {126, 0, 0x0B, 0x34},
       "SSG Env   Fine Tune=$34($1234)"},
      {"no record past 126", {}, {127, 0, 0x21, 0x00}, ""},
  });
}

TEST(OpnDetailDecoder, EachDecoderStartsFromZero) {
  testing::DecoderHarness<OpnDetailDecoder> first;
  first.Write(0, 0, 0xA4, 0x22);
  first.Write(0, 0, 0x2B, 0x80);
  testing::DecoderHarness<OpnDetailDecoder> second;
  EXPECT_EQ(second.Write(0, 0, 0xA0, 0x69), "FM#0 F-NUM1=$69(OCT=0 $069)");
  EXPECT_EQ(second.Write(0, 0, 0x2A, 0x12), "");
}

}  // namespace
}  // namespace tavrin
