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
//   p0  0B/0C   envelope period bits 7-0 / 15-8; 0D shape. A repeating shape is a tone of its own:
//     saw (8, 12) C / (256 * EP), triangle (10, 14) C / (512 * EP), EP 0 acting as 1
//
// Pitch slots: FM channels 0-5, FM#2's special-mode operators 6-8 ($A8, $A9, $AA), SSG A-C 9-11, the
// SSG envelope as a tone 12 (kept for the notes as played; --notes names no envelope write).
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

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
// The F-NUM2 byte each pitch slot took at its last F-NUM1 write (slots 0-8: channels, then FM#2's
// special-mode operators): what the channel plays, whatever the shared latch holds since.
constexpr std::size_t kSlotFNumber2 = 3;

constexpr int kSpecialPitchSlot = 6;
constexpr int kSsgPitchSlot = 9;
constexpr int kSsgEnvelopePitchSlot = 12;

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
    state.Latch[kSlotFNumber2 + static_cast<std::size_t>(slot)] = latch;
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

// Steps of the tone counter per envelope cycle: 16 levels of 16 steps a ramp; a triangle is two ramps.
// 0 for the shapes that stop after one ramp.
constexpr std::uint64_t EnvelopeCycleSteps(unsigned shape) {
  if (!Bit(shape, 3)) return 0;
  const unsigned ramp = Bitfield(shape, 0, 3);
  if (ramp == 0 || ramp == 4) return 256;  // 8, 12: saw down, saw up
  if (ramp == 2 || ramp == 6) return 512;  // 10, 14: triangle
  return 0;
}

void ApplySsgEnvelopePitch(ChipState& state, const DeviceInfo& device) {
  const auto& bank = state.Registers[0];
  const std::uint64_t cycle = EnvelopeCycleSteps(Bitfield(bank[0x0D], 0, 4));
  const std::uint64_t period = std::max<std::uint64_t>(1, (std::uint64_t{bank[0x0C]} << 8) | bank[0x0B]);
  const ClockScale scale = SsgClockScale(device.type, state.Latch[kPrescaler]);
  state.ChannelPitch[kSsgEnvelopePitchSlot] =
      RatioPitch(cycle == 0 || !ClockUsable(device.clock)
                     ? Frequency{}
                     : Frequency{static_cast<std::uint64_t>(device.clock) * scale.multiplier, cycle * period * scale.divisor});
}

void ApplySsgPitch(ChipState& state, const DeviceInfo& device, unsigned reg, WriteEffect& effect) {
  if (reg >= 0x0B && reg <= 0x0D) ApplySsgEnvelopePitch(state, device);
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

// The registers of the table above: the others (operator rows, timers, ADPCM) key nothing and set no
// pitch.
constexpr RegisterSet kOpnApplyRegisters = RegisterSet{}
                                               .Add(0, 0x00, 0x05)   // SSG tone periods
                                               .Add(0, 0x0B, 0x0D)   // SSG envelope period and shape
                                               .Add(0, 0x10, 0x10)   // OPNA rhythm keys
                                               .Add(0, 0x28, 0x28)   // key on/off
                                               .Add(0, 0x2D, 0x2F)   // prescaler
                                               .Add(0, 0xA0, 0xAE)   // F-numbers, blocks, FM#2 special mode
                                               .Add(1, 0xA0, 0xA6);  // F-numbers and blocks of channels 3-5

void ApplyOpn(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
              WriteEffect& effect) {
  ApplyKeys(state, device.type, port, reg, value, effect);
  if (port == 0 && device.type != kOpn2) ApplySsgPitch(state, device, reg, effect);
  if (!IsPsg(device.type)) ApplyFmPitch(state, device, port, reg, value, effect);
}

// ---- Sounds --------------------------------------------------------------------------------------

constexpr std::array<std::string_view, 3> kSsgNames = {"SSG#0", "SSG#1", "SSG#2"};

// SSG channel c is audible with its tone enabled in the mixer ($07 bit c clear) and a level above 0
// or the envelope ($08+c bit 4); the envelope counts as full level. Each level step is 3 dB.
// With its tone disabled, a channel in envelope mode under a repeating shape plays the envelope as its
// tone (a saw or triangle wave at the envelope's rate).
ChannelSound SsgSound(const ChipState& s, unsigned c) {
  const unsigned mixer = RegisterAt(s, 0, 0x07);
  const unsigned level = RegisterAt(s, 0, 0x08 + c);
  const bool envelope = Bit(level, 4);
  const unsigned volume = Bitfield(level, 0, 4);
  if (Bit(mixer, c) && envelope && PitchHertz(s.ChannelPitch[kSsgEnvelopePitchSlot]) > 0.0) {
    return ChannelSound{kSsgNames[c], true, kSsgEnvelopePitchSlot, -1, -1, 127};
  }
  return ChannelSound{kSsgNames[c], !Bit(mixer, c) && (envelope || volume > 0), kSsgPitchSlot + static_cast<int>(c),
                      -1, -1, VelocityOfAttenuation(envelope ? 0.0 : 3.0 * (15 - volume))};
}

int OpnSounds(const ChipState& s, const DeviceInfo& device, std::span<ChannelSound, kSoundChannels> out) {
  int n = 0;
  if (!IsPsg(device.type)) {
    const int channels = device.type == kOpn ? 3 : 6;
    for (int c = 0; c < channels; ++c) {
      Voice voice;
      CaptureOpnVoice(s, device, c, voice);
      out[static_cast<std::size_t>(n++)] = FmChannelSound(s, c, voice);
    }
  }
  if (device.type != kOpn2) {
    for (unsigned c = 0; c < 3; ++c) out[static_cast<std::size_t>(n++)] = SsgSound(s, c);
  }
  if (device.type == kOpna) {
    // ADPCM: playing from a start ($00 bit 7, port 1) until the next write clears it; level $0B.
    const unsigned level = RegisterAt(s, 1, 0x0B);
    out[static_cast<std::size_t>(n++)] =
        ChannelSound{"ADPCM", Bit(RegisterAt(s, 1, 0x00), 7) && level > 0, -1, -1, -1,
                     VelocityOfAttenuation(level == 0 ? 96.0 : 20.0 * std::log10(255.0 / level))};
  }
  return n;
}

// ---- Decoded state -------------------------------------------------------------------------------

// Operator rows: register offset of slot 1..4 (+0 slot 1, +8 slot 2, +4 slot 3, +C slot 4).
constexpr std::array<unsigned, 4> kSlotOffset = {0x0, 0x8, 0x4, 0xC};
// FM#2's special-mode slots 1..3 by pitch slot: $A9/$AD (slot 1) is pitch slot 7, $AA/$AE slot 8, $A8/$AC slot 6.
constexpr std::array<unsigned, 3> kSpecialRowOffset = {1, 2, 0};

void DescribeFmChannels(const ChipState& s, std::uint32_t type, StateTables& tables) {
  const int channels = type == kOpn ? 3 : 6;
  StateTable& ch = tables.emplace_back(StateTable{"FM channels", {}});
  StateTable& op = tables.emplace_back(StateTable{"FM operators", {}});
  for (int c = 0; c < channels; ++c) {
    const int port = c / 3;
    const unsigned i = static_cast<unsigned>(c % 3);
    const std::string name = "FM#" + std::to_string(c);
    bool used = AnyWritten(s, port, 0xA0 + i, 2, 4) || AnyWritten(s, port, 0xB0 + i, 2, 4) ||
                s.KeyHeld[static_cast<std::size_t>(c)] != 0;
    for (unsigned row = 0x30; row < 0xA0 && !used; row += 0x10) used = AnyWritten(s, port, row + i, 4, 4);
    const unsigned fnum2 = s.Latch[kSlotFNumber2 + static_cast<std::size_t>(c)];
    const unsigned b0 = RegisterAt(s, port, 0xB0 + i);
    const unsigned b4 = RegisterAt(s, port, 0xB4 + i);
    ch.Row(name, used)
        .Hex("F-NUM", (FNumberHigh(fnum2) << 8) | RegisterAt(s, port, 0xA0 + i), 3)
        .Number("BLOCK", Block(fnum2))
        .Note(s.ChannelPitch[static_cast<std::size_t>(c)])
        .Number("FB", Bitfield(b0, 3, 3))
        .Number("ALG", Bitfield(b0, 0, 3))
        .Text("L/R", PanText(Bit(b4, 7), Bit(b4, 6)))
        .Number("AMS", Bitfield(b4, 4, 2))
        .Number("PMS", Bitfield(b4, 0, 3))
        .Text("KEY", OperatorKeyText(s.KeyHeld[static_cast<std::size_t>(c)], 4));
    for (int slot = 0; slot < 4; ++slot) {
      const unsigned at = i + kSlotOffset[static_cast<std::size_t>(slot)];
      const auto r = [&](unsigned row) { return RegisterAt(s, port, row + at); };
      bool written = false;
      for (unsigned row = 0x30; row < 0xA0; row += 0x10) written = written || WrittenAt(s, port, row + at);
      op.Row(name, name + " op" + std::to_string(slot + 1), written)
          .Number("DT", Bitfield(r(0x30), 4, 3))
          .Number("MUL", Bitfield(r(0x30), 0, 4))
          .Number("TL", Bitfield(r(0x40), 0, 7))
          .Number("KS", Bitfield(r(0x50), 6, 2))
          .Number("AR", Bitfield(r(0x50), 0, 5))
          .Number("DR", Bitfield(r(0x60), 0, 5))
          .Flag("AM", Bit(r(0x60), 7))
          .Number("SR", Bitfield(r(0x70), 0, 5))
          .Number("SL", Bitfield(r(0x80), 4, 4))
          .Number("RR", Bitfield(r(0x80), 0, 4))
          .Number("SSG-EG", Bitfield(r(0x90), 0, 4));
    }
  }
  // Channel 3 mode: each of FM#2's four operators at its own frequency; slot 4 plays FM#2's own.
  StateTable& special = tables.emplace_back(StateTable{"FM#2 special mode", {}});
  const bool specialUsed = AnyWritten(s, 0, 0xA8, 3) || AnyWritten(s, 0, 0xAC, 3);
  for (int slot = 1; slot <= 4; ++slot) {
    const int pitchSlot = slot == 4 ? 2 : kSpecialPitchSlot + static_cast<int>(kSpecialRowOffset[static_cast<std::size_t>(slot - 1)]);
    const unsigned fnum2 = s.Latch[kSlotFNumber2 + static_cast<std::size_t>(pitchSlot)];
    const unsigned fnum1 = slot == 4 ? RegisterAt(s, 0, 0xA2) : RegisterAt(s, 0, 0xA8 + kSpecialRowOffset[static_cast<std::size_t>(slot - 1)]);
    special.Row("FM#2", "FM#2 slot" + std::to_string(slot), specialUsed)
        .Hex("F-NUM", (FNumberHigh(fnum2) << 8) | fnum1, 3)
        .Number("BLOCK", Block(fnum2))
        .Note(s.ChannelPitch[static_cast<std::size_t>(pitchSlot)]);
  }
}

void DescribeFmCommon(const ChipState& s, std::uint32_t type, StateTables& tables) {
  const unsigned mode = RegisterAt(s, 0, 0x27);
  static constexpr std::array<const char*, 4> kModes = {"normal", "effect", "CSM", "undefined"};
  const bool rhythmLevel = type == kOpna && WrittenAt(s, 0, 0x11);
  StateRow& row =
      tables.emplace_back(StateTable{"FM common", {}}).Row("FM", AnyWritten(s, 0, 0x21, 15) || rhythmLevel);
  if (type != kOpn) {
    row.Flag("LFO", Bit(RegisterAt(s, 0, 0x22), 3)).Number("LFO-FREQ", Bitfield(RegisterAt(s, 0, 0x22), 0, 3));
  }
  row.Text("CH3-MODE", kModes[Bitfield(mode, 6, 2)])
      .Number("TIMER-A", (RegisterAt(s, 0, 0x24) << 2) | Bitfield(RegisterAt(s, 0, 0x25), 0, 2), false)
      .Number("TIMER-B", RegisterAt(s, 0, 0x26), false)
      .Hex("TIMER-CTRL", Bitfield(mode, 0, 6), 2, false);
  if (type == kOpn2) row.Flag("DAC", Bit(RegisterAt(s, 0, 0x2B), 7));
  if (type == kOpna) {
    row.Flag("FM4-6", Bit(RegisterAt(s, 0, 0x29), 7)).Number("RHYTHM-TL", Bitfield(RegisterAt(s, 0, 0x11), 0, 6));
  }
}

void DescribeSsg(const ChipState& s, StateTables& tables) {
  const unsigned mixer = RegisterAt(s, 0, 0x07);
  StateTable& ssg = tables.emplace_back(StateTable{"SSG", {}});
  for (unsigned c = 0; c < 3; ++c) {
    const unsigned volume = RegisterAt(s, 0, 0x08 + c);
    ssg.Row("SSG#" + std::to_string(c), AnyWritten(s, 0, 2 * c, 2) || WrittenAt(s, 0, 0x08 + c))
        .Hex("PERIOD", (Bitfield(RegisterAt(s, 0, 2 * c + 1), 0, 4) << 8) | RegisterAt(s, 0, 2 * c), 3)
        .Note(s.ChannelPitch[kSsgPitchSlot + c])
        .Flag("TONE", !Bit(mixer, c))
        .Flag("NOISE", !Bit(mixer, c + 3))
        .Number("VOL", Bitfield(volume, 0, 4))
        .Flag("ENV", Bit(volume, 4));
  }
  tables.emplace_back(StateTable{"SSG common", {}})
      .Row("SSG", AnyWritten(s, 0, 0x06, 2) || AnyWritten(s, 0, 0x0B, 3))
      .Number("NOISE-PERIOD", Bitfield(RegisterAt(s, 0, 0x06), 0, 5))
      .Hex("ENV-PERIOD", (RegisterAt(s, 0, 0x0C) << 8) | RegisterAt(s, 0, 0x0B), 4)
      .Number("ENV-SHAPE", Bitfield(RegisterAt(s, 0, 0x0D), 0, 4));
}

void DescribeRhythmAdpcm(const ChipState& s, StateTables& tables) {
  const unsigned keys = RegisterAt(s, 0, 0x10);
  StateTable& rhythm = tables.emplace_back(StateTable{"Rhythm", {}});
  for (unsigned k = 0; k < kOpnaRhythmNames.size(); ++k) {
    const unsigned level = RegisterAt(s, 0, 0x18 + k);
    // $10 is a trigger: KEY shows what its last write keyed, not a held state.
    rhythm.Row(std::string(kOpnaRhythmNames[k]), WrittenAt(s, 0, 0x18 + k) || (WrittenAt(s, 0, 0x10) && Bit(keys, k)))
        .Number("LEVEL", Bitfield(level, 0, 5))
        .Text("L/R", PanText(Bit(level, 7), Bit(level, 6)))
        .Flag("KEY", !RhythmDump(keys) && Bit(keys, k), false);
  }
  const auto word = [&](unsigned low) { return (RegisterAt(s, 1, low + 1) << 8) | RegisterAt(s, 1, low); };
  const unsigned out = RegisterAt(s, 1, 0x01);
  tables.emplace_back(StateTable{"ADPCM", {}})
      .Row("ADPCM", AnyWritten(s, 1, 0x00, 14))
      .Hex("START", word(0x02), 4)
      .Hex("STOP", word(0x04), 4)
      .Hex("DELTA-N", word(0x09), 4)
      .Number("LEVEL", RegisterAt(s, 1, 0x0B))
      .Text("L/R", PanText(Bit(out, 7), Bit(out, 6)))
      .Hex("CONTROL", RegisterAt(s, 1, 0x00), 2, false);
}

void DescribeOpn(const ChipState& state, const DeviceInfo& device, StateTables& tables) {
  const std::uint32_t type = device.type;
  if (!IsPsg(type)) {
    DescribeFmChannels(state, type, tables);
    DescribeFmCommon(state, type, tables);
  }
  if (type != kOpn2) DescribeSsg(state, tables);
  if (type == kOpna) DescribeRhythmAdpcm(state, tables);
}

std::unique_ptr<DetailDecoder> MakeOpnAnnotator() { return std::make_unique<OpnDetailDecoder>(); }

}  // namespace

const ChipFamily kOpnFamily = {"OPN", MakeOpnAnnotator, OpnBank, OpnPorts, OpnKeys, ApplyOpn,
                               &kOpnApplyRegisters, CaptureOpnVoice, DescribeOpn, OpnSounds};

}  // namespace tavrin
