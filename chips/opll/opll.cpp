// OPLL register decoder: routes a write by address and prints its fields (map in opll.h).
//
// For the register model: $20-$28 key their channel and $0E the rhythm instruments (from port 0
// writes, as key-on counts have always been taken), and $10-$18 / $20-$28 set the channel's pitch:
//   f = F * 2^B * clock / (72 * 2^19)
#include "chips/opll/opll.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "chips/opl_operator.h"
#include "chips/rhythm_letters.h"
#include "core/bits.h"

namespace tavrin {

namespace {

constexpr int kChannelCount = 9;

// The built-in instruments by number, each padded to 11 characters so volumes line up in the report.
constexpr int kToneNameWidth = 11;
constexpr char ToneNameTable[16][kToneNameWidth + 1] = {
    "USER       ", "VIOLIN     ", "GUITAR     ", "PIANO      ", "FLUTE      ", "CLARINET   ",
    "OBOE       ", "TRUMPET    ", "ORGAN      ", "HORN       ", "SYNTH      ", "HARPSICHORD",
    "VIBRAPHON  ", "SYNBASS    ", "WOODBASS   ", "ELECBASS   "};

constexpr bool AllToneNamesFull() {
  for (const auto& name : ToneNameTable) {
    if (std::string_view(name).size() != kToneNameWidth) return false;
  }
  return true;
}
static_assert(AllToneNamesFull(), "every instrument name is padded to the same width");


// User voice: the even register of each pair is operator 1, the odd one operator 2.
constexpr int UserOperator(unsigned reg) { return static_cast<int>(reg & 1u) + 1; }

// Operator fields of $00-$07: chips/opl_operator.h; besides them, $03 holds:
constexpr bool CarRectified(unsigned v) { return Bit(v, 4); }
constexpr bool ModRectified(unsigned v) { return Bit(v, 3); }
constexpr unsigned ModFeedback(unsigned v) { return Bitfield(v, 0, 3); }
// $20 row.
constexpr bool ChSustainOn(unsigned v) { return Bit(v, 5); }
constexpr bool ChKeyOn(unsigned v) { return Bit(v, 4); }
constexpr unsigned ChBlock(unsigned v) { return Bitfield(v, 1, 3); }
constexpr unsigned ChFNumberHigh(unsigned v) { return Bitfield(v, 0, 1); }
// $30 row.
constexpr unsigned ChInstrument(unsigned v) { return Bitfield(v, 4, 4); }
constexpr unsigned ChVolume(unsigned v) { return Bitfield(v, 0, 4); }
// $36-$38 in rhythm mode: two drums per register, bass drum alone in $36.
constexpr unsigned LowDrumVolume(unsigned v) { return Bitfield(v, 0, 4); }   // BD, SD, top cymbal
constexpr unsigned HighDrumVolume(unsigned v) { return Bitfield(v, 4, 4); }  // hi-hat, tom-tom

// $00-$07: the user instrument.
void DecodeUserVoice(ReportSink& out, unsigned reg, unsigned value) {
  const int op = UserOperator(reg);
  switch (reg) {
    case 0x00:
    case 0x01:
      out.Print<"USER VOICE op%d: ML=%d">(op, opl_operator::Multiple(value));
      PrintEither<" AM:ON ", " AM:OFF">(out, opl_operator::AmOn(value));
      PrintEither<" VIB:ON ", " VIB:OFF">(out, opl_operator::VibratoOn(value));
      // A set envelope-type bit holds the note at its sustain level; the report labels it DECAY.
      PrintEither<" DECAY  ", " SUSTAIN">(out, opl_operator::SustainHold(value));
      PrintEither<" KSR:ON", " KSR:OFF">(out, opl_operator::KeyScaleRate(value));
      return;
    case 0x02:
      out.Print<"USER VOICE op1: KSL=%d TL=%d">(opl_operator::KeyScaleLevel(value), opl_operator::TotalLevel(value));
      return;
    case 0x03:
      out.Print<"USER VOICE op2: KSL=%d FB=%d">(opl_operator::KeyScaleLevel(value), ModFeedback(value));
      // The log labels the carrier's bit DM and the modulator's DC.
      PrintEither<" DM=ON ", " DM=OFF">(out, CarRectified(value));
      PrintEither<" DC=ON", " DC=OFF">(out, ModRectified(value));
      return;
    case 0x04:
    case 0x05:
      out.Print<"USER VOICE op%d: AR=%2d DR=%2d">(op, opl_operator::AttackRate(value), opl_operator::DecayRate(value));
      return;
    default:  // 0x06, 0x07
      out.Print<"USER VOICE op%d: SL=%2d RR=%2d">(op, opl_operator::SustainLevel(value), opl_operator::ReleaseRate(value));
      return;
  }
}

void PrintChannelVoice(ReportSink& out, int channel, unsigned value) {
  out.Print<"FM#%d: @%d(%s) VOL=%2d">(channel, ChInstrument(value), ToneNameTable[ChInstrument(value)],
                                      ChVolume(value));
}

// $30-$38. In rhythm mode the last three registers hold the drums' volumes instead of channels 6-8.
void DecodeVoiceVolume(ReportSink& out, const OpllDeviceState& state, int channel, unsigned value) {
  if (channel < 6 || state.RhythmMode == 0) {
    PrintChannelVoice(out, channel, value);
    return;
  }
  switch (channel) {
    case 6: out.Print<" BD VOL=%2d">(LowDrumVolume(value)); return;
    case 7: out.Print<" SD VOL=%2d   HH VOL=%2d">(LowDrumVolume(value), HighDrumVolume(value)); return;
    default: out.Print<"CYM VOL=%2d  TOM VOL=%2d">(LowDrumVolume(value), HighDrumVolume(value)); return;
  }
}

}  // namespace


void OpllDetailDecoder::Decode(ReportSink& out, int device, int /*port*/, unsigned reg, unsigned value) {
  OpllDeviceState& state = states_.At(device);
  if (reg <= 0x07) {
    DecodeUserVoice(out, reg, value);
    return;
  }
  if (reg == 0x0E) {
    state.RhythmMode = RhythmModeOn(value) ? 1u : 0u;
    PrintRhythmMode(out, value);
    return;
  }
  if (reg == 0x0F) {
    out.Print<"Test : $%02x">(value);
    return;
  }
  // Channel rows: $10 pitch low byte, $20 key/block/pitch bit 8, $30 instrument and volume.
  const unsigned row = reg >> 4;
  const unsigned channel = reg & 0x0F;
  if (row < 1 || row > 3 || channel >= kChannelCount) return;
  const int printed = static_cast<int>(channel);
  switch (row) {
    case 1:
      state.FNumber[channel] = (state.FNumber[channel] & 0x100u) | value;
      out.Print<"FM#%d: F-NUM1=$%02x(OCT=%d $%03x)">(printed, value, state.Block[channel] + 1,
                                                    state.FNumber[channel]);
      return;
    case 2:
      state.Block[channel] = ChBlock(value);
      state.FNumber[channel] = (ChFNumberHigh(value) << 8) | (state.FNumber[channel] & 0xFFu);
      out.Print<"FM#%d: BLOCK=%d F-NUM2=$%02x Key-">(printed, state.Block[channel], ChFNumberHigh(value));
      PrintEither<"ON", "OFF">(out, ChKeyOn(value));
      if (ChSustainOn(value)) out.Print<" [SUSTAIN]">();
      return;
    case 3:
      DecodeVoiceVolume(out, state, printed, value);
      return;
  }
}

// ---- The family ----------------------------------------------------------------------------------

namespace {

constexpr unsigned kDivider = 72;
constexpr int kFractionBits = 19;

// One register bank: the port bit reaches the same registers.
int OpllBank(std::uint32_t /*type*/, int /*port*/) { return 0; }
int OpllPorts(std::uint32_t /*type*/) { return 1; }
KeyLayout OpllKeys(std::uint32_t /*type*/) { return {kChannelCount, kRhythmKeyNames, true}; }

// Rhythm keys, F-numbers, blocks and key bits: the registers ApplyOpll acts on.
constexpr RegisterSet kOpllApplyRegisters = RegisterSet{}
                                                .Add(0, 0x0E, 0x0E)
                                                .Add(0, 0x10, 0x10 + kChannelCount - 1)
                                                .Add(0, 0x20, 0x20 + kChannelCount - 1)
                                                .Add(1, 0x0E, 0x0E)
                                                .Add(1, 0x10, 0x10 + kChannelCount - 1)
                                                .Add(1, 0x20, 0x20 + kChannelCount - 1);

void ApplyOpll(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
               WriteEffect& effect) {
  if (reg == 0x0E) {
    if (port == 0) ApplyRhythmKeys(state, effect, value);
    return;
  }
  const opl_operator::ChannelRow row = opl_operator::ChannelRowOf(reg, 0x10, 0x20, kChannelCount);
  if (row.channel < 0) return;
  if (row.keyRow && port == 0) HoldKeys(state, effect, row.channel, Bit(value, 4) ? 1 : 0);
  const auto channel = static_cast<unsigned>(row.channel);
  const auto& bank = state.Registers[0];
  const unsigned high = bank[0x20 + channel];
  const unsigned fnumber = (Bitfield(high, 0, 1) << 8) | bank[0x10 + channel];
  SetPitch(state, effect, static_cast<int>(channel),
           PhaseStepPitch(fnumber, Bitfield(high, 1, 3), device.clock, kDivider, kFractionBits));
}

// Drum volumes in rhythm mode: register and nibble (0 low, 1 high) of BD, SD, TOM, CYM, HH.
struct DrumVolume {
  const char* name;
  unsigned reg;
  unsigned nibble;
};
constexpr std::array<DrumVolume, kRhythmInstrumentCount> kDrums = {
    {{"BD", 0x36, 0}, {"SD", 0x37, 0}, {"TOM", 0x38, 1}, {"CYM", 0x38, 0}, {"HH", 0x37, 1}}};

std::string ToneName(unsigned instrument) {
  std::string name = ToneNameTable[instrument & 15u];
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// The channel volume ($30-$38 bits 3-0) is the carrier's level, 3 dB a step; rhythm mode hands
// channels 6-8 to the drums.
int OpllSounds(const ChipState& s, const DeviceInfo& /*device*/, std::span<ChannelSound, kSoundChannels> out) {
  const bool rhythm = RhythmModeOn(RegisterAt(s, 0, 0x0E));
  for (int c = 0; c < kChannelCount; ++c) {
    const unsigned volume = Bitfield(RegisterAt(s, 0, 0x30 + static_cast<unsigned>(c)), 0, 4);
    out[static_cast<std::size_t>(c)] =
        ChannelSound{kFmChannelNames[static_cast<std::size_t>(c)],
                     s.KeyHeld[static_cast<std::size_t>(c)] != 0 && !(rhythm && c >= 6), c, c, c,
                     VelocityOfAttenuation(3.0 * volume)};
  }
  return kChannelCount;
}

void DescribeOpll(const ChipState& s, const DeviceInfo& /*device*/, StateTables& tables) {
  StateTable& ch = tables.emplace_back(StateTable{"FM channels", {}});
  for (unsigned c = 0; c < static_cast<unsigned>(kChannelCount); ++c) {
    const unsigned key = RegisterAt(s, 0, 0x20 + c);
    const unsigned voice = RegisterAt(s, 0, 0x30 + c);
    ch.Row("FM#" + std::to_string(c), AnyWritten(s, 0, 0x10 + c, 3, 0x10))
        .Number("INST", ChInstrument(voice))
        .Text("NAME", ToneName(ChInstrument(voice)), false)  // INST says it
        .Number("VOL", ChVolume(voice))
        .Hex("F-NUM", (ChFNumberHigh(key) << 8) | RegisterAt(s, 0, 0x10 + c), 3)
        .Number("BLOCK", ChBlock(key))
        .Note(s.ChannelPitch[c])
        .Flag("KEY", ChKeyOn(key))
        .Flag("SUSTAIN", ChSustainOn(key));
  }
  // The user instrument (instrument 0): operator 1 modulates operator 2.
  StateTable& user = tables.emplace_back(StateTable{"User instrument", {}});
  const unsigned levels = RegisterAt(s, 0, 0x03);
  for (unsigned o = 0; o < 2; ++o) {
    const unsigned flags = RegisterAt(s, 0, o);
    const unsigned envelope = RegisterAt(s, 0, 0x04 + o);
    const unsigned release = RegisterAt(s, 0, 0x06 + o);
    user.Row("USER", "USER op" + std::to_string(o + 1), AnyWritten(s, 0, 0x00, 8))
        .Flag("AM", opl_operator::AmOn(flags))
        .Flag("VIB", opl_operator::VibratoOn(flags))
        .Flag("EG", opl_operator::SustainHold(flags))
        .Flag("KSR", opl_operator::KeyScaleRate(flags))
        .Number("MUL", opl_operator::Multiple(flags))
        .Number("KSL", opl_operator::KeyScaleLevel(RegisterAt(s, 0, 0x02 + o)))
        .Flag("RECT", o == 0 ? ModRectified(levels) : CarRectified(levels))
        .Number("AR", opl_operator::AttackRate(envelope))
        .Number("DR", opl_operator::DecayRate(envelope))
        .Number("SL", opl_operator::SustainLevel(release))
        .Number("RR", opl_operator::ReleaseRate(release));
  }
  tables.emplace_back(StateTable{"User voice", {}})
      .Row("USER", AnyWritten(s, 0, 0x02, 2))
      .Number("TL", opl_operator::TotalLevel(RegisterAt(s, 0, 0x02)))
      .Number("FB", ModFeedback(levels));
  const unsigned rhythmReg = RegisterAt(s, 0, 0x0E);
  StateTable& rhythm = tables.emplace_back(StateTable{"Rhythm", {}});
  for (unsigned k = 0; k < kDrums.size(); ++k) {
    const DrumVolume& drum = kDrums[k];
    const unsigned volume = RegisterAt(s, 0, drum.reg);
    rhythm.Row(drum.name, RhythmModeOn(rhythmReg))
        .Number("VOL", drum.nibble == 0 ? LowDrumVolume(volume) : HighDrumVolume(volume))
        .Flag("KEY", Bit(s.RhythmHeld, 4 - k));
  }
}

std::unique_ptr<DetailDecoder> MakeOpllAnnotator() { return std::make_unique<OpllDetailDecoder>(); }

}  // namespace

std::string_view OpllPresetName(unsigned instrument) {
  std::string_view name = ToneNameTable[instrument & 15u];
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

const ChipFamily kOpllFamily = {"OPLL", MakeOpllAnnotator, OpllBank, OpllPorts, OpllKeys, ApplyOpll,
                                &kOpllApplyRegisters, CaptureOpllVoice, DescribeOpll, OpllSounds};

}  // namespace tavrin
