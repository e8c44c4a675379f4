// The OPN family's rules beyond annotation: banks and ports, key-on, and the pitch of each channel.
//
// Registers that key or set a pitch, as the register model reads them ("p" is the port; rows
// marked * set a pitch):
//
//   OPN, OPN2, OPNA (types 2, 3, 4)
//   p0     28  xxxx---- key on/off, operators 4-1 (a key-on is an operator turning on)
//              -----x-- channel bank: channels 3-5 (ignored by the three-channel OPN)
//              ------xx channel 0-2 (3 selects nothing)
//   p0     10  x------- OPNA rhythm dump (key off); a clear bit 7 keys every set bit:
//              --xxxxxx RIM TOM HH TOP SD BD  (a trigger: each write keys again)
//   p0   2D-2F -------- prescaler: FM divider /6, /3, /2 and SSG divider /4, /2, /1   [OPN, OPNA]
//   p0/1 A4-A6 --xxx--- block                  } one latch per chip, whichever channel
//              -----xxx F-number bits 10-8     } or port writes it
//   p0/1 A0-A2 * F-number bits 7-0: the channel (low bits + 3 x port) takes the latch and this byte
//   p0   AC-AE --xxx--- block                  } the FM#2 special-mode latch
//              -----xxx F-number bits 10-8     }
//   p0   A8-AA * F-number bits 7-0 of an FM#2 special-mode operator
//     f = F * 2^B * clock / (D * 2^21); D = 72/36/24 (OPN), 144/72/48 (OPNA), 144 (OPN2)
//
//   SSG of the OPN and OPNA, PSG (types 2, 4; 1, 15)
//   p0  00/02/04 * tone period bits 7-0 of channel A/B/C
//   p0  01/03/05 * ----xxxx tone period bits 11-8
//     f = C / (16 * TP), TP 0 acting as 1; C the clock of an AY-3-8910 playing the same notes
//
// Pitch slots: FM channels 0-5, FM#2's special-mode operators 6-8 ($A8, $A9, $AA), SSG A-C 9-11.
#include <array>

#include "chips/opn/opn.h"
#include "core/bits.h"

namespace tavrin {

namespace {

constexpr std::uint32_t kPsgYm2149 = static_cast<std::uint32_t>(DeviceType::Psg);
constexpr std::uint32_t kOpn = static_cast<std::uint32_t>(DeviceType::Opn);
constexpr std::uint32_t kOpn2 = static_cast<std::uint32_t>(DeviceType::Opn2);
constexpr std::uint32_t kOpna = static_cast<std::uint32_t>(DeviceType::Opna);
constexpr std::uint32_t kAy8910 = static_cast<std::uint32_t>(DeviceType::Ay8910);

// Latch entries of ChipState for this family.
constexpr std::size_t kFNumber2Latch = 0;         // last $A4-$A6 byte
constexpr std::size_t kSpecialFNumber2Latch = 1;  // last $AC-$AE byte
constexpr std::size_t kPrescaler = 2;             // 0 power-on or $2D, 1 after $2E, 2 after $2F

constexpr int kSpecialPitchSlot = 6;
constexpr int kSsgPitchSlot = 9;

constexpr bool IsPsg(std::uint32_t type) { return type == kPsgYm2149 || type == kAy8910; }
constexpr bool HasSecondBank(std::uint32_t type) { return type == kOpn2 || type == kOpna; }

// ---- Key-on --------------------------------------------------------------------------------------

constexpr unsigned KeyOperators(unsigned v) { return Bitfield(v, 4, 4); }
constexpr unsigned KeyChannel(unsigned v) { return Bitfield(v, 0, 2); }
constexpr bool KeyUpperBank(unsigned v) { return Bit(v, 2); }
constexpr bool RhythmDump(unsigned v) { return Bit(v, 7); }
constexpr unsigned RhythmKeys(unsigned v) { return Bitfield(v, 0, 6); }

void ApplyKeys(ChipState& state, std::uint32_t type, int port, unsigned reg, unsigned value, WriteEffect& effect) {
  if (port != 0 || IsPsg(type)) return;
  if (reg == 0x28) {
    int channel = static_cast<int>(KeyChannel(value));
    if (channel == 3) return;
    if (type != kOpn && KeyUpperBank(value)) channel += 3;
    HoldKeys(state, effect, channel, static_cast<std::uint8_t>(KeyOperators(value)));
  } else if (reg == 0x10 && type == kOpna && !RhythmDump(value)) {
    effect.keyedOn |= RhythmKeys(value) << kChannelSlots;
  }
}

// ---- FM pitch ------------------------------------------------------------------------------------

// FM divider D of the phase-step rule by prescaler setting (power-on, $2E, $2F). The OPN2 has no
// prescaler registers and always divides by the OPNA's power-on value.
constexpr std::array<unsigned, 3> kOpnFmDivider = {72, 36, 24};
constexpr std::array<unsigned, 3> kOpnaFmDivider = {144, 72, 48};
constexpr unsigned kOpn2FmDivider = 144;
constexpr int kFractionBits = 21;

constexpr unsigned FmDivider(std::uint32_t type, std::uint32_t prescaler) {
  if (type == kOpn) return kOpnFmDivider[prescaler];
  if (type == kOpna) return kOpnaFmDivider[prescaler];
  return kOpn2FmDivider;
}

// F-NUM2 byte ($A4-$A6, $AC-$AE).
constexpr unsigned Block(unsigned fnum2) { return Bitfield(fnum2, 3, 3); }
constexpr unsigned FNumberHigh(unsigned fnum2) { return Bitfield(fnum2, 0, 3); }

// Frequency rows come in threes from $A0, $A4, $A8 and $AC; the fourth address of each is unused.
constexpr bool IsFrequencyRow(unsigned reg, unsigned rowBase) { return reg >= rowBase && reg < rowBase + 3; }

// The chip keeps one F-NUM2 latch for the six channels and one for the special-mode operators; an
// F-NUM1 write copies the latch, whichever channel last wrote it, into the channel it addresses.
void ApplyFmPitch(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
                  WriteEffect& effect) {
  const bool secondPort = port != 0;
  if (IsFrequencyRow(reg, 0xA4)) {
    state.Latch[kFNumber2Latch] = value;
  } else if (IsFrequencyRow(reg, 0xAC) && !secondPort) {
    state.Latch[kSpecialFNumber2Latch] = value;
  } else if (IsFrequencyRow(reg, 0xA0) || (IsFrequencyRow(reg, 0xA8) && !secondPort)) {
    const bool special = reg >= 0xA8;
    const unsigned latch = state.Latch[special ? kSpecialFNumber2Latch : kFNumber2Latch];
    const unsigned fnumber = (FNumberHigh(latch) << 8) | value;
    const int slot = special ? kSpecialPitchSlot + static_cast<int>(reg - 0xA8)
                             : static_cast<int>(reg - 0xA0) + 3 * port;
    SetPitch(state, effect, slot,
             PhaseStepPitch(fnumber, Block(latch), device.clock,
                            FmDivider(device.type, state.Latch[kPrescaler]), kFractionBits));
  } else if (reg >= 0x2D && reg <= 0x2F && !secondPort && device.type != kOpn2) {
    state.Latch[kPrescaler] = reg - 0x2D;
  }
}

// ---- SSG pitch -----------------------------------------------------------------------------------

// The clock of an AY-3-8910 that plays the same notes, as a fraction of the device's clock.
struct ClockScale {
  std::uint64_t multiplier;
  std::uint64_t divisor;
};

// OPN and OPNA by prescaler setting: their SSG divides the master clock by 4 and 8 at power-on.
constexpr std::array<ClockScale, 3> kOpnSsgScale = {{{1, 2}, {1, 1}, {2, 1}}};
constexpr std::array<ClockScale, 3> kOpnaSsgScale = {{{1, 4}, {1, 2}, {1, 1}}};
// S98 stores a YM2149's clock for the mode that halves it internally.
constexpr ClockScale kYm2149Scale = {1, 2};
constexpr ClockScale kAy8910Scale = {1, 1};

constexpr ClockScale SsgClockScale(std::uint32_t type, std::uint32_t prescaler) {
  if (type == kOpn) return kOpnSsgScale[prescaler];
  if (type == kOpna) return kOpnaSsgScale[prescaler];
  if (type == kPsgYm2149) return kYm2149Scale;
  return kAy8910Scale;
}

constexpr unsigned kSsgToneRegisterEnd = 0x06;  // $00-$05: fine and coarse tune of channels A, B, C

// The tone counter toggles the output every TP steps of clock / 8: a period of 0 counts as 1.
constexpr Frequency SsgFrequency(std::uint32_t period, std::int32_t clock, ClockScale scale) {
  if (!ClockUsable(clock)) return {};
  const std::uint64_t steps = period == 0 ? 1 : period;
  return {static_cast<std::uint64_t>(clock) * scale.multiplier, 16 * steps * scale.divisor};
}

void ApplySsgPitch(ChipState& state, const DeviceInfo& device, unsigned reg, WriteEffect& effect) {
  if (reg >= kSsgToneRegisterEnd) return;
  const unsigned channel = reg >> 1;
  const auto& bank = state.Registers[0];
  const std::uint32_t period = (Bitfield(bank[2 * channel + 1], 0, 4) << 8) | bank[2 * channel];
  SetPitch(state, effect, kSsgPitchSlot + static_cast<int>(channel),
           RatioPitch(SsgFrequency(period, device.clock, SsgClockScale(device.type, state.Latch[kPrescaler]))));
}

// ---- The family ----------------------------------------------------------------------------------

// The three-channel OPN and the PSGs have one bank: nothing answers on port 1.
int OpnBank(std::uint32_t type, int port) { return port == 0 || HasSecondBank(type) ? port : -1; }

int OpnPorts(std::uint32_t type) { return HasSecondBank(type) ? 2 : 1; }

// Rhythm instruments by key bit, BD in bit 0.
constexpr std::array<std::string_view, 6> kOpnaRhythmNames = {"BD", "SD", "TOP", "HH", "TOM", "RIM"};

KeyLayout OpnKeys(std::uint32_t type) {
  switch (type) {
    case kOpn: return {3, {}, false};
    case kOpn2: return {6, {}, false};
    case kOpna: return {6, kOpnaRhythmNames, false};
    default: return {};  // the PSGs have no key-on register
  }
}

void ApplyOpn(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
              WriteEffect& effect) {
  ApplyKeys(state, device.type, port, reg, value, effect);
  if (port == 0 && device.type != kOpn2) ApplySsgPitch(state, device, reg, effect);
  if (!IsPsg(device.type)) ApplyFmPitch(state, device, port, reg, value, effect);
}

std::unique_ptr<DetailDecoder> MakeOpnAnnotator() { return std::make_unique<OpnDetailDecoder>(); }

}  // namespace

const ChipFamily kOpnFamily = {"OPN", MakeOpnAnnotator, OpnBank, OpnPorts, OpnKeys, ApplyOpn,
                               CaptureOpnVoice};

}  // namespace tavrin
