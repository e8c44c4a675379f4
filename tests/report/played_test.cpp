// Tests of the music readers: each family's Sounds (audible, velocity) after register writes, and the MIDI time base.
// Velocities were worked out by hand from the chips' level steps: v = 127 x sqrt(10^(-dB / 20)).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include "model/register_model.h"
#include "tests/support/register_write.h"
#include "report/midi.h"

namespace tavrin {
namespace {

struct SoundCase {
  const char* what;
  DeviceType type;
  std::vector<Write> writes;
  int channel;  // index in what Sounds fills
  const char* name;
  bool sounding;
  int velocity;  // checked when sounding
};

void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.what; }

class SoundsTest : public testing::TestWithParam<SoundCase> {};

TEST_P(SoundsTest, ChannelAfterWrites) {
  const SoundCase& c = GetParam();
  DeviceTable devices;
  devices.info[0] = DeviceInfo{static_cast<std::uint32_t>(c.type), 4000000, 0, 0};
  devices.present.set(0);
  RegisterModel model(devices);
  for (const Write& w : c.writes) model.Apply(0, w.port, w.reg, w.value);
  ASSERT_NE(model.Family(0), nullptr);
  std::array<ChannelSound, kSoundChannels> sounds{};
  const int count = model.Family(0)->Sounds(model.State(0), model.Info(0), sounds);
  ASSERT_LT(c.channel, count);
  const ChannelSound& s = sounds[static_cast<std::size_t>(c.channel)];
  EXPECT_EQ(s.name, c.name);
  EXPECT_EQ(s.sounding, c.sounding);
  if (c.sounding) {
    EXPECT_EQ(s.velocity, c.velocity);
  }
}

// OPN slot registers of channel 0: slot 1 at +0, slot 2 at +8, slot 3 at +4, slot 4 at +C.
std::vector<Write> OpnaAlgorithm(unsigned alg, std::array<unsigned, 4> tl) {
  return {{0, 0xB0, alg}, {0, 0x40, tl[0]}, {0, 0x48, tl[1]}, {0, 0x44, tl[2]}, {0, 0x4C, tl[3]}, {0, 0x28, 0xF0}};
}

INSTANTIATE_TEST_SUITE_P(
    Families, SoundsTest,
    testing::Values(
        // SN76489: its latches start at attenuation 0, but nothing sounds before a tone and a level are written.
        SoundCase{"dcsg power-on is silent", DeviceType::Dcsg, {}, 0, "DCSG#0", false, 0},
        SoundCase{"dcsg tone, attenuation 0", DeviceType::Dcsg, {{0, 0, 0x8E}, {0, 0, 0x0F}, {0, 0, 0x90}}, 0,
                  "DCSG#0", true, 127},
        SoundCase{"dcsg attenuation 6 = 12 dB", DeviceType::Dcsg, {{0, 0, 0x8E}, {0, 0, 0x96}}, 0, "DCSG#0", true, 64},
        SoundCase{"dcsg attenuation 15 is silence", DeviceType::Dcsg, {{0, 0, 0xAE}, {0, 0, 0xBF}}, 1, "DCSG#1",
                  false, 0},
        // SSG: tone enabled (mixer bit clear) and a level above 0, 3 dB a step; the envelope counts as full.
        SoundCase{"ssg level 8 = 21 dB", DeviceType::Psg, {{0, 0x07, 0x3E}, {0, 0x08, 8}}, 0, "SSG#0", true, 38},
        SoundCase{"ssg tone disabled", DeviceType::Psg, {{0, 0x07, 0x3F}, {0, 0x08, 15}}, 0, "SSG#0", false, 0},
        SoundCase{"ssg level 0", DeviceType::Ay8910, {{0, 0x07, 0x38}, {0, 0x09, 0}}, 1, "SSG#1", false, 0},
        SoundCase{"ssg envelope mode", DeviceType::Psg, {{0, 0x07, 0x3B}, {0, 0x0A, 0x10}}, 2, "SSG#2", true, 127},
        // The envelope as a tone: tone disabled, envelope mode, a repeating shape.
        SoundCase{"ssg envelope saw as a tone", DeviceType::Psg,
                  {{0, 0x0B, 7}, {0, 0x0D, 0x0C}, {0, 0x07, 0x3F}, {0, 0x08, 0x10}}, 0, "SSG#0", true, 127},
        SoundCase{"ssg one-shot envelope, tone disabled", DeviceType::Psg,
                  {{0, 0x0B, 7}, {0, 0x0D, 0x09}, {0, 0x07, 0x3F}, {0, 0x08, 0x10}}, 0, "SSG#0", false, 0},
        SoundCase{"opna ssg after six FM channels", DeviceType::Opna, {{0, 0x08, 15}}, 6, "SSG#0", true, 127},
        // FM: keyed while an operator is held; the loudest carrier's TL, 0.75 dB a step.
        SoundCase{"opna alg 7, TL 16 = 12 dB", DeviceType::Opna, OpnaAlgorithm(7, {16, 16, 16, 16}), 0, "FM#0", true,
                  64},
        SoundCase{"opna alg 0: only slot 4 carries", DeviceType::Opna, OpnaAlgorithm(0, {0, 0, 0, 127}), 0, "FM#0",
                  true, 1},
        SoundCase{"opna alg 4: slots 2 and 4, loudest wins", DeviceType::Opna, OpnaAlgorithm(4, {0, 16, 0, 127}), 0,
                  "FM#0", true, 64},
        SoundCase{"opna key-off", DeviceType::Opna, {{0, 0x28, 0xF1}, {0, 0x28, 0x01}}, 1, "FM#1", false, 0},
        SoundCase{"opna adpcm start", DeviceType::Opna, {{1, 0x0B, 0xFF}, {1, 0x00, 0xA0}}, 9, "ADPCM", true, 127},
        SoundCase{"opna adpcm reset", DeviceType::Opna, {{1, 0x0B, 0xFF}, {1, 0x00, 0xA0}, {1, 0x00, 0x01}}, 9,
                  "ADPCM", false, 0},
        SoundCase{"opm key-on, channel 3", DeviceType::Opm, {{0, 0x08, 0x7B}}, 3, "FM#3", true, 127},
        // OPLL volume 3 dB a step; rhythm mode takes channels 6-8 from the melody.
        SoundCase{"opll volume 4 = 12 dB", DeviceType::Opll, {{0, 0x30, 0x14}, {0, 0x20, 0x10}}, 0, "FM#0", true, 64},
        SoundCase{"opll rhythm channel", DeviceType::Opll, {{0, 0x0E, 0x20}, {0, 0x26, 0x10}}, 6, "FM#6", false, 0},
        SoundCase{"opll channel 6 without rhythm", DeviceType::Opll, {{0, 0x26, 0x10}}, 6, "FM#6", true, 127},
        SoundCase{"opl rhythm channel", DeviceType::Opl2, {{0, 0xBD, 0x20}, {0, 0xB7, 0x20}}, 7, "FM#7", false, 0},
        SoundCase{"opl3 second bank", DeviceType::Opl3, {{1, 0xB0, 0x20}}, 9, "FM#9", true, 127}));

// The time base: every log tick a whole number of MIDI ticks where the timer allows it.
struct TimingCase {
  std::int32_t numerator;
  std::int32_t denominator;
  bool exact;
};

class MidiTimingTest : public testing::TestWithParam<TimingCase> {};

TEST_P(MidiTimingTest, LogTicksLandOnMidiTicks) {
  const TimingCase& c = GetParam();
  const MidiTiming t = MidiTimingFor(TickRate{c.numerator, c.denominator});
  EXPECT_EQ(t.exact, c.exact);
  EXPECT_GE(t.division, 1);
  EXPECT_LE(t.division, 32767);
  EXPECT_GE(t.tempo, 1u);
  EXPECT_LE(t.tempo, 0xFFFFFFu);
  const bool usable = c.numerator > 0 && c.denominator > 0;
  const long double seconds =
      usable ? static_cast<long double>(c.numerator) / c.denominator : 0.01L;  // the S98 default
  const long double midiTicks = seconds * 1e6L * t.division / t.tempo;
  if (c.exact) {
    EXPECT_NEAR(static_cast<double>(midiTicks), static_cast<double>(t.perLogTick), 1e-9);
  } else {
    EXPECT_NEAR(static_cast<double>(midiTicks / t.ratio), 1.0, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, MidiTimingTest,
                         testing::Values(TimingCase{10, 1000, true}, TimingCase{1, 1000, true},
                                         TimingCase{1, 1, true}, TimingCase{1, 44100, true},
                                         TimingCase{1, 60, true}, TimingCase{17, 1000, true},
                                         TimingCase{3, 7, true}, TimingCase{0, 0, true},
                                         TimingCase{-5, 1000, true},
                                         // 2^31 - 1 is prime: no division up to 32767 holds it.
                                         TimingCase{1, 2147483647, false}));

}  // namespace
}  // namespace tavrin
