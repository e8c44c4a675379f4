// OPLL register decoder: routes a write by address and prints its fields (map in opll.h).
//
// For the register model: $20-$28 key their channel and $0E the rhythm instruments (from port 0
// writes, as key-on counts have always been taken), and $10-$18 / $20-$28 set the channel's pitch:
//   f = F * 2^B * clock / (72 * 2^19)
#include "chips/opll/opll.h"

#include <memory>
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

std::unique_ptr<DetailDecoder> MakeOpllAnnotator() { return std::make_unique<OpllDetailDecoder>(); }

}  // namespace

std::string_view OpllPresetName(unsigned instrument) {
  std::string_view name = ToneNameTable[instrument & 15u];
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

const ChipFamily kOpllFamily = {"OPLL", MakeOpllAnnotator, OpllBank, OpllPorts, OpllKeys, ApplyOpll,
                                CaptureOpllVoice};

}  // namespace tavrin
