// --voices: voices taken at key-ons and merged by timbre, their uses, and the patch files' byte layouts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "report/voice_files.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using nlohmann::json;
using testing::Convert;
using testing::S98Builder;
using testing::SplitLines;

constexpr std::uint32_t kOpn = 2, kOpn2 = 3, kOpna = 4, kOpm = 5, kOpll = 6, kOpl3 = 9;

// The "voice" objects of the JSON report.
std::vector<json> VoiceObjects(const S98Builder& b) {
  const std::string text =
      Convert(b.Build(), ConversionOptions{.voicesOnly = true, .format = ReportFormat::JsonLines});
  std::vector<json> voices;
  for (const std::string& line : SplitLines(text, "\n")) {
    json object = json::parse(line);
    if (object["type"] == "voice") voices.push_back(std::move(object));
  }
  return voices;
}

// An OPN-family voice on channel `ch` (0-2 of `port`): ALG 4 (carriers slots 2 and 4), every operator
// different; `modTl` is slot 1's TL, `carTl` slot 4's.
void OpnVoice(S98Builder& b, int device, int port, int ch, std::uint8_t modTl, std::uint8_t carTl) {
  const auto at = [&](int row, int slotOffset) { return static_cast<std::uint8_t>(row + ch + slotOffset); };
  constexpr int kOffsets[4] = {0, 8, 4, 12};
  for (int k = 0; k < 4; ++k) {
    b.Write(device, port, at(0x30, kOffsets[k]), static_cast<std::uint8_t>(0x10 * (k + 1) + k + 1));  // DT k+1, ML k+1
    b.Write(device, port, at(0x40, kOffsets[k]), static_cast<std::uint8_t>(k == 0 ? modTl : k == 3 ? carTl : 20 + k));
    b.Write(device, port, at(0x50, kOffsets[k]), static_cast<std::uint8_t>(0x40 | (31 - k)));  // KS 1, AR
    b.Write(device, port, at(0x60, kOffsets[k]), static_cast<std::uint8_t>(0x80 | (10 + k)));  // AM, DR
    b.Write(device, port, at(0x70, kOffsets[k]), static_cast<std::uint8_t>(k));
    b.Write(device, port, at(0x80, kOffsets[k]), static_cast<std::uint8_t>(0x20 | (k + 4)));  // SL 2, RR
    b.Write(device, port, at(0x90, kOffsets[k]), static_cast<std::uint8_t>(k == 2 ? 0x0A : 0));
  }
  b.Write(device, port, static_cast<std::uint8_t>(0xB0 + ch), 0x2C);  // FB 5, ALG 4
  b.Write(device, port, static_cast<std::uint8_t>(0xB4 + ch), 0xD2);  // L R, AMS 1, PMS 2
}

void KeyOpn(S98Builder& b, int device, int channel) {
  const auto select = static_cast<std::uint8_t>(channel < 3 ? channel : channel + 1);
  b.Write(device, 0, 0x28, static_cast<std::uint8_t>(0xF0 | select)).Wait(10);
  b.Write(device, 0, 0x28, select);
}

TEST(VoicesTest, CarrierLevelMergesModulatorLevelSplitsAcrossChannelsAndDevices) {
  S98Builder b;
  b.Device(kOpna, 7987200).Device(kOpn2, 7670454);
  OpnVoice(b, 0, 0, 0, 30, 8);
  KeyOpn(b, 0, 0);
  OpnVoice(b, 0, 0, 0, 30, 40);  // only the carrier's TL: the same voice
  KeyOpn(b, 0, 0);
  OpnVoice(b, 0, 1, 1, 30, 12);  // FM#4, and device #01: still the same voice
  KeyOpn(b, 0, 4);
  OpnVoice(b, 1, 0, 2, 30, 8);
  KeyOpn(b, 1, 2);
  OpnVoice(b, 0, 0, 0, 31, 8);  // the modulator's TL: another voice
  KeyOpn(b, 0, 0);
  b.End();

  const std::vector<json> voices = VoiceObjects(b);
  ASSERT_EQ(voices.size(), 2u);
  const json& first = voices[0];
  EXPECT_EQ(first["family"], "OPN");
  EXPECT_EQ(first["id"], 0);
  EXPECT_EQ(first["alg"], 4);
  EXPECT_EQ(first["fb"], 5);
  EXPECT_EQ(first["ams"], 1);
  EXPECT_EQ(first["pms"], 2);
  // Slot 3 (register offset +4) keeps its own values: ML 3, DT 3, SSG-EG $A.
  EXPECT_EQ(first["operators"][2]["ML"], 3);
  EXPECT_EQ(first["operators"][2]["DT"], 3);
  EXPECT_EQ(first["operators"][2]["SSG"], 10);
  EXPECT_EQ(first["operators"][1]["AR"], 30);
  EXPECT_EQ(first["carriers"], json::parse(R"([{"operator":2,"level":21,"min":21,"max":21},
                                               {"operator":4,"level":8,"min":8,"max":40}])"));
  ASSERT_EQ(first["uses"].size(), 2u);
  EXPECT_EQ(first["uses"][0]["device"], 0);
  EXPECT_EQ(first["uses"][0]["channels"], json::parse("[0,4]"));
  EXPECT_EQ(first["uses"][0]["keyOns"], 3);
  EXPECT_EQ(first["uses"][0]["firstTick"], 0);
  EXPECT_EQ(first["uses"][0]["lastTick"], 20);
  EXPECT_EQ(first["uses"][1]["device"], 1);
  EXPECT_EQ(first["uses"][1]["channels"], json::parse("[2]"));
  EXPECT_EQ(voices[1]["id"], 1);
  EXPECT_EQ(voices[1]["operators"][0]["TL"], 31);
}

TEST(VoicesTest, EachFamilyCapturesItsVoice) {
  struct Case {
    const char* name;
    S98Builder log;
    json expected;  // a subset of the one voice object
  };
  // OPN FM#2 in special mode, its operators keyed one by one: one voice, two key-ons.
  S98Builder special;
  special.Device(kOpn, 3993600);
  OpnVoice(special, 0, 0, 2, 30, 8);
  special.Write(0, 0, 0x27, 0x40).Write(0, 0, 0x28, 0x12).Write(0, 0, 0x28, 0x32).End();
  // OPL3 mode, pair 0+3 joined: CNT 1 on channel 0, 0 on channel 3 (operator 1 alone, 2>3>4).
  S98Builder pair;
  pair.Device(kOpl3, 14318180).Write(0, 1, 0x05, 0x01).Write(0, 1, 0x04, 0x01);
  const std::uint8_t pairOffsets[4] = {0x00, 0x03, 0x08, 0x0B};
  for (int k = 0; k < 4; ++k) {
    pair.Write(0, 0, static_cast<std::uint8_t>(0x20 + pairOffsets[k]), static_cast<std::uint8_t>(k + 1));
    pair.Write(0, 0, static_cast<std::uint8_t>(0x40 + pairOffsets[k]), static_cast<std::uint8_t>(10 * k));
    pair.Write(0, 0, static_cast<std::uint8_t>(0xE0 + pairOffsets[k]), static_cast<std::uint8_t>(4 + k));
  }
  pair.Write(0, 0, 0xC0, 0x35).Write(0, 0, 0xC3, 0x30).Write(0, 0, 0xB3, 0x20).Write(0, 0, 0xB0, 0x20).End();
  // OPLL: the custom voice on FM#0, then PIANO on FM#1.
  S98Builder opll;
  opll.Device(kOpll, 3579545);
  const std::uint8_t custom[8] = {0x21, 0x61, 0x1D, 0x0F, 0xF2, 0x83, 0x14, 0x07};
  for (int r = 0; r < 8; ++r) opll.Write(0, 0, static_cast<std::uint8_t>(r), custom[r]);
  opll.Write(0, 0, 0x30, 0x05).Write(0, 0, 0x20, 0x10).Write(0, 0, 0x31, 0x32).Write(0, 0, 0x21, 0x10).End();
  // OPM: channel 5, ALG 5 (carriers C1 M2 C2), M2 with DT2 2 and AMS-EN.
  S98Builder opm;
  opm.Device(kOpm, 4000000).Write(0, 0, 0x25, 0xC5).Write(0, 0, 0x3D, 0x31);
  opm.Write(0, 0, 0x4D, 0x72).Write(0, 0, 0xAD, 0x85).Write(0, 0, 0xCD, 0x83).Write(0, 0, 0x08, 0x7D).End();

  const Case cases[] = {
      {"special mode", special,
       json::parse(R"({"family":"OPN","uses":[{"channels":[2],"specialMode":[2],"keyOns":2}]})")},
      {"OPL3 pair", pair,
       json::parse(R"({"family":"OPL","kind":"opl-4op","alg":1,"fb":2,
                       "carriers":[{"operator":1,"level":0},{"operator":4,"level":30}],
                       "uses":[{"channels":[0],"keyOns":1}]})")},
      {"OPM", opm,
       json::parse(R"({"family":"OPM","alg":5,"fb":0,"ams":1,"pms":3,
                       "carriers":[{"operator":2},{"operator":3},{"operator":4}],
                       "uses":[{"channels":[5]}]})")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<json> voices = VoiceObjects(c.log);
    ASSERT_EQ(voices.size(), 1u);
    for (const auto& [key, value] : c.expected.items()) {
      if (value.is_array()) {
        ASSERT_EQ(voices[0].at(key).size(), value.size()) << key;
        for (std::size_t i = 0; i < value.size(); ++i) {
          for (const auto& [k, v] : value[i].items()) EXPECT_EQ(voices[0].at(key).at(i).at(k), v) << key << "." << k;
        }
      } else {
        EXPECT_EQ(voices[0].at(key), value) << key;
      }
    }
  }
  const json pairVoice = VoiceObjects(pair)[0];
  ASSERT_EQ(pairVoice["operators"].size(), 4u);
  for (int k = 0; k < 4; ++k) {  // operators 1-4: channel 0's modulator and carrier, then channel 3's
    EXPECT_EQ(pairVoice["operators"][k]["MUL"], k + 1);
    EXPECT_EQ(pairVoice["operators"][k]["WS"], 4 + k);
  }
  const json opmVoice = VoiceObjects(opm)[0];
  EXPECT_EQ(opmVoice["operators"][2]["name"], "M2");  // block +8 is M2, listed third
  EXPECT_EQ(opmVoice["operators"][2]["DT1"], 7);
  EXPECT_EQ(opmVoice["operators"][2]["MUL"], 2);
  EXPECT_EQ(opmVoice["operators"][2]["DT2"], 2);
  EXPECT_EQ(opmVoice["operators"][2]["AME"], 1);
  EXPECT_EQ(opmVoice["operators"][2]["D1R"], 5);

  const std::vector<json> opllVoices = VoiceObjects(opll);
  ASSERT_EQ(opllVoices.size(), 2u);
  EXPECT_EQ(opllVoices[0]["kind"], "opll-custom");
  EXPECT_EQ(opllVoices[0]["fb"], 7);
  EXPECT_EQ(opllVoices[0]["operators"][0]["TL"], 0x1D);
  EXPECT_EQ(opllVoices[0]["operators"][1]["AR"], 8);
  EXPECT_EQ(opllVoices[0]["operators"][0]["WF"], 1);  // $03 bit 3: the modulator rectified
  EXPECT_EQ(opllVoices[0]["carriers"][0]["level"], 5);  // the channel volume
  EXPECT_EQ(opllVoices[1]["kind"], "opll-preset");
  EXPECT_EQ(opllVoices[1]["preset"], 3);
  EXPECT_EQ(opllVoices[1]["presetName"], "PIANO");
  EXPECT_EQ(opllVoices[1]["id"], 1);
}

TEST(VoicesTest, SecondChannelOfAJoinedPairAndRhythmChannelsHaveNoVoice) {
  S98Builder b;
  b.Device(kOpl3, 14318180).Write(0, 1, 0x05, 0x01).Write(0, 1, 0x04, 0x01);
  b.Write(0, 0, 0xB3, 0x20);                            // channel 3: the pair's second half
  b.Write(0, 0, 0xBD, 0x20).Write(0, 0, 0xB7, 0x20);    // channel 7 in rhythm mode
  b.End();
  EXPECT_TRUE(VoiceObjects(b).empty());
}

TEST(VoicesTest, VoicesOnlyWritesTheHeadSectionsAndTheVoices) {
  S98Builder b;
  b.Device(kOpna, 7987200);
  OpnVoice(b, 0, 0, 0, 30, 8);
  KeyOpn(b, 0, 0);
  b.End();
  const std::string plain = Convert(b.Build(), ConversionOptions{});
  const std::string with = Convert(b.Build(), ConversionOptions{.voices = true});
  const std::string only = Convert(b.Build(), ConversionOptions{.voicesOnly = true});
  // --voices adds a section and changes nothing before it.
  ASSERT_EQ(with.substr(0, plain.size()), plain);
  const std::string section = with.substr(plain.size());
  EXPECT_EQ(only, plain.substr(0, plain.find("\r\n[ Dump Data ]\r\n")) + section);
  EXPECT_EQ(section.substr(0, section.find("\r\n    #00")),
            "\r\n[ Voices ]\r\n"
            "Counted        = every key-on\r\n"
            "Voices         = 1\r\n"
            "\r\n"
            "OPN @0  ALG=4 FB=5 AMS=1 PMS=2\r\n"
            "          AR  DR  SR  RR  SL  TL  KS  ML  DT SSG  AM\r\n"
            "    OP1   31  10   0   4   2  30   1   1   1   0   1\r\n"
            "    OP2*  30  11   1   5   2  21   1   2   2   0   1\r\n"
            "    OP3   29  12   2   6   2  22   1   3   3  10   1\r\n"
            "    OP4*  28  13   3   7   2   8   1   4   4   0   1\r\n"
            "    carrier TL  OP2 21  OP4 8");
  EXPECT_NE(section.find("\r\n    #00 OPNA(YM2608)     FM#0  key-ons 1  first 00:00:00.000  last 00:00:00.000\r\n"),
            std::string::npos);
}

// Two voices with every field different, to check the patch files' offsets against their layouts.
Voice OpnPatch(std::uint8_t base) {
  Voice v;
  v.kind = VoiceKind::Opn;
  v.operators = 4;
  v.alg = 5;
  v.fb = static_cast<std::uint8_t>(base % 8);
  v.carriers = FourOpCarriers(5);
  for (std::size_t k = 0; k < 4; ++k) {
    using namespace opn_voice;
    auto& o = v.op[k];
    const auto n = static_cast<std::uint8_t>(base + k);
    o[AR] = n;
    o[DR] = static_cast<std::uint8_t>(n + 1);
    o[SR] = static_cast<std::uint8_t>(n + 2);
    o[RR] = static_cast<std::uint8_t>(k + 8);
    o[SL] = static_cast<std::uint8_t>(k + 4);
    o[TL] = static_cast<std::uint8_t>(40 + 10 * k + base);
    o[KS] = static_cast<std::uint8_t>(k);
    o[ML] = static_cast<std::uint8_t>(k + 11);
    o[DT] = static_cast<std::uint8_t>(k + 3);  // 3, 4 (-0), 5 (-1), 6 (-2)
    o[SSG] = static_cast<std::uint8_t>(k == 1 ? 0x0D : 0);
    o[AM] = static_cast<std::uint8_t>(k & 1u);
  }
  return v;
}

TEST(VoiceFilesTest, TfiBytesFollowTheTfmMakerLayout) {
  for (const std::uint8_t base : {std::uint8_t{1}, std::uint8_t{9}}) {
    SCOPED_TRACE(base);
    const Voice v = OpnPatch(base);
    const auto tfi = TfiBytes(v);
    EXPECT_EQ(tfi[0x00], 5);
    EXPECT_EQ(tfi[0x01], base % 8);
    // Operators at 0x02, 0x0C, 0x16, 0x20 are slots 1, 3, 2, 4.
    const std::size_t slotAt[4] = {0x02, 0x16, 0x0C, 0x20};
    const int detune[4] = {6, 3, 2, 1};  // +3, -0, -1, -2 as 0-6 with 3 for none
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t at = slotAt[k];
      EXPECT_EQ(tfi[at + 0], k + 11) << "multiplier of slot " << k + 1;
      EXPECT_EQ(tfi[at + 1], detune[k]);
      EXPECT_EQ(tfi[at + 2], 40 + 10 * k + base);
      EXPECT_EQ(tfi[at + 3], k);
      EXPECT_EQ(tfi[at + 4], base + k);
      EXPECT_EQ(tfi[at + 5], base + k + 1);
      EXPECT_EQ(tfi[at + 6], base + k + 2);
      EXPECT_EQ(tfi[at + 7], k + 8);
      EXPECT_EQ(tfi[at + 8], k + 4);
      EXPECT_EQ(tfi[at + 9], k == 1 ? 0x0D : 0);
    }
  }
}

TEST(VoiceFilesTest, SbiBytesFollowTheSoundBlasterLayout) {
  struct Case {
    std::array<std::array<std::uint8_t, kVoiceColumns>, 2> ops;  // AM VIB EG KSR MUL KSL TL AR DR SL RR WS
    std::uint8_t fb, cnt;
    std::array<std::uint8_t, 11> registers;  // $20 $23 $40 $43 $60 $63 $80 $83 $E0 $E3 $C0
  };
  const Case cases[] = {
      {{{{1, 0, 1, 0, 3, 2, 33, 15, 4, 7, 9, 2}, {0, 1, 0, 1, 12, 1, 5, 10, 11, 1, 3, 7}}},
       6, 1, {0xA3, 0x5C, 0xA1, 0x45, 0xF4, 0xAB, 0x79, 0x13, 0x02, 0x07, 0x0D}},
      {{{{0, 0, 0, 1, 1, 3, 63, 1, 2, 3, 4, 0}, {1, 1, 1, 1, 15, 0, 0, 0, 15, 15, 0, 1}}},
       1, 0, {0x11, 0xFF, 0xFF, 0x00, 0x12, 0x0F, 0x34, 0xF0, 0x00, 0x01, 0x02}},
  };
  for (const Case& c : cases) {
    Voice v;
    v.kind = VoiceKind::Opl;
    v.operators = 2;
    v.op[0] = c.ops[0];
    v.op[1] = c.ops[1];
    v.fb = c.fb;
    v.alg = c.cnt;
    const auto sbi = SbiBytes(v, "name");
    EXPECT_EQ(std::string(sbi.begin(), sbi.begin() + 8), std::string("SBI\x1A" "name", 8));
    EXPECT_EQ(sbi[8], 0);
    for (std::size_t i = 0; i < 11; ++i) EXPECT_EQ(sbi[0x24 + i], c.registers[i]) << "offset " << 0x24 + i;
    for (std::size_t i = 0x2F; i < 0x34; ++i) EXPECT_EQ(sbi[i], 0);
  }
}

TEST(VoiceFilesTest, VopmAndMmlTextPutEachFieldInItsColumn) {
  VoiceBank bank;
  bank.voices.push_back(VoiceEntry{"OPN", 0, OpnPatch(1), {}, {}, {}});
  Voice opm;
  opm.kind = VoiceKind::Opm;
  opm.operators = 4;
  opm.alg = 2;
  opm.fb = 6;
  opm.ams = 3;
  opm.pms = 7;
  opm.op[2] = {17, 18, 19, 10, 11, 99, 2, 13, 5, 3, 1};  // M2: AR D1R D2R RR D1L TL KS MUL DT1 DT2 AME
  bank.voices.push_back(VoiceEntry{"OPM", 0, opm, {}, {}, {}});

  const std::vector<std::string> opmLines = SplitLines(VopmBank(bank, "song"));
  const auto after = [&](const std::vector<std::string>& lines, const std::string& head, int skip) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == head) return lines[i + static_cast<std::size_t>(skip)];
    }
    return std::string("(missing ") + head + ")";
  };
  // OPN fields under OPM names: slot 2 is C1 (D1R = DR, D2R = SR, D1L = SL, DT2 0, AMS-EN 128).
  EXPECT_EQ(after(opmLines, "@:0 song OPN @0", 2), "CH: 192   1   5   0   0 120   0");
  EXPECT_EQ(after(opmLines, "@:0 song OPN @0", 4), "C1:   2   3   4   9   5  51   1  12   4   0 128");
  EXPECT_EQ(after(opmLines, "@:1 song OPM @0", 2), "CH: 192   6   2   3   7 120   0");
  EXPECT_EQ(after(opmLines, "@:1 song OPM @0", 5), "M2:  17  18  19  10  11  99   2  13   5   3 128");

  const std::vector<std::string> mml = SplitLines(VoiceMml(bank, "song"));
  EXPECT_EQ(after(mml, "; song OPN @0 (PMD)", 2), "@000 005 001");
  // Lines in register order: slot 1, slot 3, slot 2, slot 4.
  EXPECT_EQ(after(mml, "; song OPN @0 (PMD)", 4), " 001 002 003 008 004 041 000 011 003 000");
  EXPECT_EQ(after(mml, "; song OPN @0 (PMD)", 5), " 003 004 005 010 006 061 002 013 005 000");
  EXPECT_EQ(after(mml, "; song OPN @0 (PMD)", 6), " 002 003 004 009 005 051 001 012 004 001");
  EXPECT_EQ(after(mml, "/* song OPM @0 (MXDRV) */", 1), "@0={");
  EXPECT_EQ(after(mml, "/* song OPM @0 (MXDRV) */", 5), "  17,  18,  19,  10,  11,  99,   2,  13,   5,   3,   1,");
  EXPECT_EQ(after(mml, "/* song OPM @0 (MXDRV) */", 8), "    2,   6,  15");
}

TEST(VoiceFilesTest, PatchFilesAreNamedAfterTheInputAndTheVoice) {
  VoiceBank bank;
  bank.voices.push_back(VoiceEntry{"OPN", 0, OpnPatch(1), {}, {}, {}});
  Voice opl;
  opl.kind = VoiceKind::Opl;
  opl.operators = 2;
  bank.voices.push_back(VoiceEntry{"OPL", 0, opl, {}, {}, {}});
  opl.kind = VoiceKind::OplFourOp;
  bank.voices.push_back(VoiceEntry{"OPL", 1, opl, {}, {}, {}});
  std::vector<std::string> names;
  for (const PatchFile& f : VoicePatchFiles(bank, "song")) names.push_back(f.name + ":" + std::to_string(f.bytes.size()));
  EXPECT_EQ(names, (std::vector<std::string>{"song_OPN@0.tfi:42", "song_OPL@0.sbi:52",
                                              "song.opm:" + std::to_string(VopmBank(bank, "song").size()),
                                              "song.mml:" + std::to_string(VoiceMml(bank, "song").size())}));
}

}  // namespace
}  // namespace tavrin
