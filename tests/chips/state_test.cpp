// Decoded register state per family: written sequences against the fields a snapshot shows, latches included.
// Expected values were worked out from the chips' register maps, not from this code.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/register_model.h"
#include "tests/support/register_write.h"

namespace tavrin {
namespace {

struct Case {
  const char* what;
  std::uint32_t type;
  std::int32_t clock;
  std::vector<Write> writes;
  const char* row;
  const char* field;
  const char* expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

constexpr std::uint32_t kOpn = 2, kOpna = 4, kOpm = 5, kOpll = 6, kOpl2 = 8, kOpl3 = 9, kAy = 15, kDcsg = 16;

std::string FieldAfter(const Case& c) {
  DeviceTable devices;
  devices.info[0] = DeviceInfo{c.type, c.clock, 0, 0};
  devices.present.set(0);
  RegisterModel model(devices);
  for (const Write& w : c.writes) model.Apply(0, w.port, w.reg, w.value);
  StateTables tables;
  model.Family(0)->DescribeState(model.State(0), model.Info(0), tables);
  const StateRow* row = FindRow(tables, c.row);
  if (row == nullptr) return std::string("<no row ") + c.row + ">";
  const StateField* field = row->Find(c.field);
  return field == nullptr ? std::string("<no field ") + c.field + ">" : field->text;
}

class DecodedState : public ::testing::TestWithParam<Case> {};

TEST_P(DecodedState, ShowsField) { EXPECT_EQ(FieldAfter(GetParam()), GetParam().expected); }

constexpr std::int32_t kOpnaClock = 7987200;
constexpr std::int32_t kNtsc = 3579545;

INSTANTIATE_TEST_SUITE_P(
    Opn, DecodedState,
    ::testing::Values(
        Case{"F-NUM2 then F-NUM1", kOpna, kOpnaClock, {{0, 0xA4, 0x22}, {0, 0xA0, 0x69}}, "FM#0", "F-NUM", "$269"},
        Case{"the channel keeps the latch it took", kOpna, kOpnaClock,
             {{0, 0xA4, 0x22}, {0, 0xA0, 0x69}, {0, 0xA5, 0x13}}, "FM#0", "BLOCK", "4"},
        Case{"the latch is shared: FM#1 takes $A4's byte", kOpna, kOpnaClock, {{0, 0xA4, 0x22}, {0, 0xA1, 0x69}},
             "FM#1", "F-NUM", "$269"},
        Case{"F-NUM2 alone changes nothing yet", kOpna, kOpnaClock, {{0, 0xA4, 0x22}}, "FM#0", "F-NUM", "$000"},
        Case{"port 1 channel", kOpna, kOpnaClock, {{1, 0xA4, 0x1A}, {1, 0xA0, 0x40}}, "FM#3", "F-NUM", "$240"},
        Case{"note of the pitch", kOpna, kOpnaClock, {{0, 0xA4, 0x24}, {0, 0xA0, 0x10}}, "FM#0", "NOTE", "A4+0c"},
        Case{"offset +8 is slot 2", kOpna, kOpnaClock, {{0, 0x48, 0x7F}}, "FM#0 op2", "TL", "127"},
        Case{"offset +4 is slot 3", kOpna, kOpnaClock, {{0, 0x55, 0xDF}}, "FM#1 op3", "AR", "31"},
        Case{"key on of all operators", kOpna, kOpnaClock, {{0, 0x28, 0xF1}}, "FM#1", "KEY", "1234"},
        Case{"key on in the upper bank", kOpna, kOpnaClock, {{0, 0x28, 0x36}}, "FM#5", "KEY", "12--"},
        Case{"key off", kOpna, kOpnaClock, {{0, 0x28, 0xF0}, {0, 0x28, 0x00}}, "FM#0", "KEY", "----"},
        Case{"feedback", kOpna, kOpnaClock, {{0, 0xB0, 0x3A}}, "FM#0", "FB", "7"},
        Case{"left only", kOpna, kOpnaClock, {{1, 0xB6, 0x80}}, "FM#5", "L/R", "L-"},
        Case{"special-mode slot 1", kOpna, kOpnaClock, {{0, 0xAD, 0x24}, {0, 0xA9, 0x55}}, "FM#2 slot1", "F-NUM",
             "$455"},
        Case{"special-mode slot 3", kOpna, kOpnaClock, {{0, 0xAC, 0x1C}, {0, 0xA8, 0x01}}, "FM#2 slot3", "BLOCK",
             "3"},
        Case{"channel 3 mode", kOpna, kOpnaClock, {{0, 0x27, 0x40}}, "FM", "CH3-MODE", "effect"},
        Case{"SSG tone period", kOpna, kOpnaClock, {{0, 0x00, 0xFE}, {0, 0x01, 0x01}}, "SSG#0", "PERIOD", "$1fe"},
        Case{"SSG mixer: tone B off", kOpna, kOpnaClock, {{0, 0x07, 0x3A}}, "SSG#1", "TONE", "-"},
        Case{"SSG mixer: noise A on", kOpna, kOpnaClock, {{0, 0x07, 0x36}}, "SSG#0", "NOISE", "on"},
        Case{"SSG envelope volume", kOpna, kOpnaClock, {{0, 0x09, 0x1F}}, "SSG#1", "ENV", "on"},
        Case{"SSG envelope period", kAy, 1789773, {{0, 0x0B, 0x34}, {0, 0x0C, 0x12}}, "SSG", "ENV-PERIOD", "$1234"},
        Case{"rhythm level and pan", kOpna, kOpnaClock, {{0, 0x19, 0x5F}}, "SD", "L/R", "-R"},
        Case{"rhythm total level", kOpna, kOpnaClock, {{0, 0x11, 0x3F}}, "FM", "RHYTHM-TL", "63"},
        Case{"rhythm keyed", kOpna, kOpnaClock, {{0, 0x10, 0x09}}, "HH", "KEY", "on"},
        Case{"rhythm dump keys nothing", kOpna, kOpnaClock, {{0, 0x10, 0x89}}, "HH", "KEY", "-"},
        Case{"ADPCM delta-N", kOpna, kOpnaClock, {{1, 0x09, 0x34}, {1, 0x0A, 0x12}}, "ADPCM", "DELTA-N", "$1234"},
        Case{"OPN has no FM#3", kOpn, 3993600, {{0, 0x28, 0xF4}}, "FM#3", "KEY", "<no row FM#3>"}));

INSTANTIATE_TEST_SUITE_P(
    Opm, DecodedState,
    ::testing::Values(Case{"key code", kOpm, kNtsc, {{0, 0x28, 0x4A}}, "FM#0", "NOTE", "A4+0c"},
                      Case{"key fraction", kOpm, kNtsc, {{0, 0x31, 0x40}}, "FM#1", "KF", "16"},
                      Case{"AMD and PMD share $19", kOpm, kNtsc, {{0, 0x19, 0x85}, {0, 0x19, 0x22}}, "OPM", "PMD", "5"},
                      Case{"AMD kept under PMD", kOpm, kNtsc, {{0, 0x19, 0x85}, {0, 0x19, 0x22}}, "OPM", "AMD", "34"},
                      Case{"all four keyed", kOpm, kNtsc, {{0, 0x08, 0x79}}, "FM#1", "KEY", "M1+C1+M2+C2"},
                      Case{"one operator keyed", kOpm, kNtsc, {{0, 0x08, 0x0A}}, "FM#2", "KEY", "M1"},
                      Case{"block +8 is M2", kOpm, kNtsc, {{0, 0x68, 0x10}}, "FM#0 M2", "TL", "16"},
                      Case{"DT2", kOpm, kNtsc, {{0, 0xDF, 0xC3}}, "FM#7 C2", "DT2", "3"},
                      Case{"noise", kOpm, kNtsc, {{0, 0x0F, 0x9F}}, "OPM", "NOISE-FREQ", "31"}));

INSTANTIATE_TEST_SUITE_P(
    Opl, DecodedState,
    ::testing::Values(
        Case{"F-number and block", kOpl3, 14318180, {{0, 0xA0, 0x41}, {0, 0xB0, 0x2D}}, "FM#00", "F-NUM", "$141"},
        Case{"key", kOpl3, 14318180, {{1, 0xB8, 0x20}}, "FM#17", "KEY", "on"},
        Case{"4-op pair, first channel", kOpl3, 14318180, {{1, 0x05, 0x01}, {1, 0x04, 0x01}}, "FM#00", "4OP", "1st"},
        Case{"4-op pair, second channel", kOpl3, 14318180, {{1, 0x05, 0x01}, {1, 0x04, 0x01}}, "FM#03", "4OP", "2nd"},
        Case{"4-op pair in bank 1", kOpl3, 14318180, {{1, 0x05, 0x01}, {1, 0x04, 0x08}}, "FM#09", "4OP", "1st"},
        Case{"no 4-op pairs outside OPL3 mode", kOpl3, 14318180, {{1, 0x04, 0x01}}, "FM#00", "4OP", "-"},
        Case{"outputs", kOpl3, 14318180, {{0, 0xC0, 0x31}}, "FM#00", "OUT", "AB--"},
        Case{"connection", kOpl3, 14318180, {{0, 0xC0, 0x31}}, "FM#00", "CNT", "1"},
        Case{"carrier of channel 0 at offset 3", kOpl3, 14318180, {{0, 0x43, 0x3F}}, "FM#00 op2", "TL", "63"},
        Case{"modulator of channel 3 at offset 8", kOpl3, 14318180, {{0, 0x48, 0x05}}, "FM#03 op1", "TL", "5"},
        Case{"OPL2 waveform has two bits", kOpl2, 3579545, {{0, 0xE0, 0x07}}, "FM#00 op1", "WAVE", "3"},
        Case{"OPL3 mode opens the third", kOpl3, 14318180, {{1, 0x05, 0x01}, {0, 0xE0, 0x07}}, "FM#00 op1", "WAVE",
             "7"},
        Case{"rhythm bass drum", kOpl3, 14318180, {{0, 0xBD, 0x30}}, "BD", "KEY", "on"},
        Case{"rhythm hi-hat not keyed", kOpl3, 14318180, {{0, 0xBD, 0x30}}, "HH", "KEY", "-"}));

INSTANTIATE_TEST_SUITE_P(
    Opll, DecodedState,
    ::testing::Values(Case{"instrument by name", kOpll, kNtsc, {{0, 0x30, 0x35}}, "FM#0", "NAME", "PIANO"},
                      Case{"volume", kOpll, kNtsc, {{0, 0x30, 0x35}}, "FM#0", "VOL", "5"},
                      Case{"F-number bit 8", kOpll, kNtsc, {{0, 0x10, 0x20}, {0, 0x20, 0x1D}}, "FM#0", "F-NUM", "$120"},
                      Case{"block", kOpll, kNtsc, {{0, 0x10, 0x20}, {0, 0x20, 0x1D}}, "FM#0", "BLOCK", "6"},
                      Case{"sustain", kOpll, kNtsc, {{0, 0x28, 0x20}}, "FM#8", "SUSTAIN", "on"},
                      Case{"custom voice multiple", kOpll, kNtsc, {{0, 0x00, 0x21}}, "USER op1", "MUL", "1"},
                      Case{"custom voice envelope type", kOpll, kNtsc, {{0, 0x01, 0x21}}, "USER op2", "EG", "on"},
                      Case{"custom voice total level", kOpll, kNtsc, {{0, 0x02, 0x45}}, "USER", "TL", "5"},
                      Case{"custom voice KSL of op2", kOpll, kNtsc, {{0, 0x03, 0x9F}}, "USER op2", "KSL", "2"},
                      Case{"custom voice feedback", kOpll, kNtsc, {{0, 0x03, 0x1F}}, "USER", "FB", "7"},
                      Case{"custom voice rectified op1", kOpll, kNtsc, {{0, 0x03, 0x08}}, "USER op1", "RECT", "on"},
                      Case{"rhythm key", kOpll, kNtsc, {{0, 0x0E, 0x31}}, "BD", "KEY", "on"},
                      Case{"rhythm key needs rhythm mode", kOpll, kNtsc, {{0, 0x0E, 0x11}}, "BD", "KEY", "-"},
                      Case{"snare volume", kOpll, kNtsc, {{0, 0x37, 0x5A}}, "SD", "VOL", "10"},
                      Case{"hi-hat volume", kOpll, kNtsc, {{0, 0x37, 0x5A}}, "HH", "VOL", "5"},
                      Case{"tom volume", kOpll, kNtsc, {{0, 0x38, 0x5A}}, "TOM", "VOL", "5"}));

INSTANTIATE_TEST_SUITE_P(
    Dcsg, DecodedState,
    ::testing::Values(Case{"latch then data", kDcsg, kNtsc, {{0, 0, 0x8E}, {0, 0, 0x0F}}, "DCSG#0", "PERIOD", "$0fe"},
                      Case{"note", kDcsg, kNtsc, {{0, 0, 0x8E}, {0, 0, 0x0F}}, "DCSG#0", "NOTE", "A4+2c"},
                      Case{"data goes to the latched channel", kDcsg, kNtsc, {{0, 0, 0xA5}, {0, 0, 0x3F}}, "DCSG#1",
                           "PERIOD", "$3f5"},
                      Case{"attenuation", kDcsg, kNtsc, {{0, 0, 0x9A}}, "DCSG#0", "ATT", "10"},
                      Case{"data after an attenuation latch", kDcsg, kNtsc, {{0, 0, 0xBF}, {0, 0, 0x03}}, "DCSG#1",
                           "ATT", "3"},
                      Case{"and leaves the tone alone", kDcsg, kNtsc, {{0, 0, 0xA5}, {0, 0, 0xBF}, {0, 0, 0x03}},
                           "DCSG#1", "PERIOD", "$005"},
                      Case{"noise mode", kDcsg, kNtsc, {{0, 0, 0xE5}}, "DCSG#3", "MODE", "white"},
                      Case{"noise rate", kDcsg, kNtsc, {{0, 0, 0xE5}}, "DCSG#3", "RATE", "N/1024"},
                      Case{"noise attenuation", kDcsg, kNtsc, {{0, 0, 0xF7}}, "DCSG#3", "ATT", "7"},
                      Case{"Game Gear stereo left", kDcsg, kNtsc, {{0, 1, 0x1E}}, "DCSG#0", "L/R", "L-"},
                      Case{"Game Gear stereo right", kDcsg, kNtsc, {{0, 1, 0x1E}}, "DCSG#1", "L/R", "-R"},
                      Case{"no stereo column unless written", kDcsg, kNtsc, {{0, 0, 0x9A}}, "DCSG#0", "L/R",
                           "<no field L/R>"}));

}  // namespace
}  // namespace tavrin
