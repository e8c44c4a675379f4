// DCSG (SN76489) register decoder: command and data bytes, with each tone period assembled per device.
//
// SN76489 write protocol (one byte-wide port; a command byte latches a register, data bytes follow):
//
//   Command byte
//     1------- Command
//     -xx----- Channel: 0-2 tone, 3 noise
//     ---x---- Register: 1 attenuation, 0 tone period (noise control on channel 3)
//     ----xxxx Tone: period bits 3-0
//     ----xxxx Attenuation: 0 loudest, 15 silent   (shown as volume 15 - attenuation)
//     -----xxx Noise control: bit 2 white/periodic, bits 1-0 shift rate   (shown as one number)
//   Data byte
//     0------- Data
//     -x------ Ignored by the chip                 (shown in the byte, not in the period)
//     --xxxxxx Tone period bits 9-4 of the latched tone channel
//
// Data bytes after an attenuation or noise command print nothing.
//
// S98 register byte 1: Game Gear stereo mask (not a chip byte; latch and periods stay as they are)
//     xxxx---- Left output of channels 3-0
//     ----xxxx Right output of channels 3-0
//
// For the register model: the latched command and the three tone periods are the chip's latches; a
// tone command or a data byte after one sets the channel's pitch: f = clock / (32 * N), N 0 acting
// as 1024.
//
// Variants (DeviceInfo::variant, from a VGM head; 0 for S98, which means the chip above):
//   bits 15-0  white noise feedback taps      bits 23-16  shift register width (0: not given)
//   bit 24     a period of 0 counts 1024 (TI); clear: the output holds still, no tone (Sega)
//   bit 26     no Game Gear stereo             bit 27  no divide-by-8: f = clock / (4 * N)
// The noise shifts at clock / 512, / 1024, / 2048 or once per cycle of tone 2; periodic noise cycles
// through the register's width, so it sounds at the shift rate / width.
#include "chips/dcsg/dcsg.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "core/bits.h"

namespace tavrin {
namespace {


constexpr unsigned kNoiseChannel = 3;

// S98 logs Game Gear stereo writes with register byte 1; chip bytes come with register byte 0.
constexpr unsigned kGameGearStereoRegister = 1;

void PrintOutputMark(ReportSink& out, unsigned channel, bool on) {
  if (on) {
    out.Print<" %d">(channel);
  } else {
    out.Print<" -">();
  }
}

constexpr bool IsCommand(unsigned byte) { return Bit(byte, 7); }
constexpr unsigned CommandOf(unsigned byte) { return byte & 0xF0u; }
constexpr unsigned ChannelOf(unsigned command) { return Bitfield(command, 5, 2); }
constexpr bool IsAttenuation(unsigned command) { return Bit(command, 4); }
constexpr bool IsNoiseControl(unsigned command) {
  return !IsAttenuation(command) && ChannelOf(command) == kNoiseChannel;
}
constexpr bool IsTone(unsigned command) {
  return IsCommand(command) && !IsAttenuation(command) && !IsNoiseControl(command);
}

}  // namespace

void DcsgDetailDecoder::Decode(ReportSink& out, int device, int /*port*/, unsigned reg, unsigned value) {
  if (reg == kGameGearStereoRegister) {
    if (!states_.At(device).Stereo) {
      out.Print<"DCSG GG Stereo=$%02x  (no Game Gear stereo on this chip: ignored)">(value);
      return;
    }
    out.Print<"DCSG GG Stereo=$%02x  L:">(value);
    for (unsigned channel = 0; channel < 4; ++channel) PrintOutputMark(out, channel, Bit(value, 4 + channel));
    out.Print<"  R:">();
    for (unsigned channel = 0; channel < 4; ++channel) PrintOutputMark(out, channel, Bit(value, channel));
    return;
  }
  DcsgDeviceState& state = states_.At(device);

  if (!IsCommand(value)) {
    // A data byte goes to whatever was latched; only a tone period has high bits to show.
    if (!IsTone(state.LatchedCommand)) return;
    const unsigned channel = ChannelOf(state.LatchedCommand);
    std::uint32_t& period = state.TonePeriod[channel];
    period = (period & 0x00Fu) | (Bitfield(value, 0, 6) << 4);
    out.Print<"DCSG#%d: TONE(H)= $%02x($%03x)">(channel, value, period);
    return;
  }

  const unsigned command = CommandOf(value);
  state.LatchedCommand = command;
  const unsigned channel = ChannelOf(command);
  if (IsAttenuation(command)) {
    out.Print<"DCSG#%d: Volume=%d">(channel, 15 - Bitfield(value, 0, 4));
  } else if (IsNoiseControl(command)) {
    out.Print<"DCSG#3: Noise=%d">(Bitfield(value, 0, 3));
  } else {
    std::uint32_t& period = state.TonePeriod[channel];
    period = (period & 0x3F0u) | Bitfield(value, 0, 4);
    out.Print<"DCSG#%d: TONE(L)= $%02x">(channel, Bitfield(value, 0, 4));
  }
}

// ---- The family ----------------------------------------------------------------------------------

namespace {

// Latch entries of ChipState for this family: the latched command, then the tone periods.
constexpr std::size_t kLatchedCommand = 0;
constexpr std::size_t kTonePeriod = 1;
// Attenuations of channels 0-3, four bits each (channel c at bits 4c-4c+3); the noise control; and
// which were written: bit c tone c, bit 4 + c attenuation c, bit 8 the noise control.
constexpr std::size_t kAttenuations = 4;
constexpr std::size_t kNoiseControl = 5;
constexpr std::size_t kWrittenBits = 6;
constexpr std::uint32_t kNoiseWritten = 1u << 8;

constexpr bool IsLatchByte(unsigned value) { return Bit(value, 7); }
constexpr unsigned LatchedChannel(unsigned command) { return Bitfield(command, 5, 2); }
constexpr bool IsToneLatch(unsigned command) {
  return IsLatchByte(command) && !Bit(command, 4) && LatchedChannel(command) != kNoiseChannel;
}

// The variant fields of DeviceInfo::variant.
constexpr unsigned VariantWidth(std::uint32_t variant) { return Bitfield(variant, 16, 8); }
constexpr bool VariantGiven(std::uint32_t variant) { return VariantWidth(variant) != 0; }
constexpr bool ZeroPeriodIs1024(std::uint32_t variant) { return !VariantGiven(variant) || Bit(variant, 24); }
constexpr bool HasStereo(std::uint32_t variant) { return !VariantGiven(variant) || !Bit(variant, 26); }
// Clock cycles per step of the tone counters: 16 with the divide-by-8, 2 without.
constexpr std::uint64_t ClocksPerStep(std::uint32_t variant) {
  return VariantGiven(variant) && Bit(variant, 27) ? 2 : 16;
}

// The counter toggles the output every N steps; a period of 0 counts 1024 steps, or holds the output.
constexpr Frequency DcsgFrequency(std::uint32_t period, const DeviceInfo& device) {
  if (!ClockUsable(device.clock)) return {};
  if (period == 0 && !ZeroPeriodIs1024(device.variant)) return {};
  const std::uint64_t steps = period == 0 ? 1024 : period;
  return {static_cast<std::uint64_t>(device.clock), 2 * ClocksPerStep(device.variant) * steps};
}

// Periodic noise: the shift rate over the register's width (white noise has no pitch). Shifts come
// every 32, 64 or 128 counter steps, or once per cycle of tone 2.
Pitch NoisePitch(unsigned control, std::uint32_t tone2Period, const DeviceInfo& device) {
  const unsigned width = VariantWidth(device.variant);
  if (Bit(control, 2) || width == 0) return RatioPitch({});
  const unsigned rate = Bitfield(control, 0, 2);
  const Frequency shifts = rate == 3 ? DcsgFrequency(tone2Period, device)
                           : ClockUsable(device.clock)
                               ? Frequency{static_cast<std::uint64_t>(device.clock), ClocksPerStep(device.variant) << (5 + rate)}
                               : Frequency{};
  return RatioPitch({shifts.numerator, shifts.denominator * width});
}

// One write port: the port bit reaches the same chip.
int DcsgBank(std::uint32_t /*type*/, int /*port*/) { return 0; }
int DcsgPorts(std::uint32_t /*type*/) { return 1; }
KeyLayout DcsgKeys(std::uint32_t /*type*/) { return {}; }  // no key-on register

void ApplyDcsg(ChipState& state, const DeviceInfo& device, int /*port*/, unsigned reg, unsigned value,
               WriteEffect& effect) {
  if (reg == kGameGearStereoRegister) return;
  unsigned command = value;
  if (IsLatchByte(value)) {
    state.Latch[kLatchedCommand] = value & 0xF0u;
  } else {
    // A data byte goes to whatever was latched last; a tone latch takes it as period bits 9-4.
    command = state.Latch[kLatchedCommand];
  }
  if (!IsLatchByte(command)) return;  // data before any command byte reaches nothing
  if (!IsToneLatch(command)) {
    // Four-bit registers take the low bits of a command byte or of a data byte after one.
    const unsigned channel = LatchedChannel(command);
    if (Bit(command, 4)) {
      const unsigned shift = 4 * channel;
      state.Latch[kAttenuations] = (state.Latch[kAttenuations] & ~(0xFu << shift)) | (Bitfield(value, 0, 4) << shift);
      state.Latch[kWrittenBits] |= 1u << (4 + channel);
    } else {
      state.Latch[kNoiseControl] = Bitfield(value, 0, 3);
      state.Latch[kWrittenBits] |= kNoiseWritten;
    }
    return;
  }
  state.Latch[kWrittenBits] |= 1u << LatchedChannel(command);
  const unsigned channel = LatchedChannel(command);
  std::uint32_t& period = state.Latch[kTonePeriod + channel];
  period = IsLatchByte(value) ? (period & 0x3F0u) | Bitfield(value, 0, 4) : (period & 0x00Fu) | (Bitfield(value, 0, 6) << 4);
  SetPitch(state, effect, static_cast<int>(channel), RatioPitch(DcsgFrequency(period, device)));
}

void DescribeDcsg(const ChipState& s, const DeviceInfo& device, StateTables& tables) {
  const std::uint32_t written = s.Latch[kWrittenBits];
  // Game Gear stereo: bit 4 + c sends channel c left, bit c right; shown only once written, and only
  // on a chip that has it.
  const bool stereo = WrittenAt(s, 0, kGameGearStereoRegister) && HasStereo(device.variant);
  const unsigned mask = RegisterAt(s, 0, kGameGearStereoRegister);
  const auto attenuation = [&](unsigned c) { return Bitfield(s.Latch[kAttenuations], 4 * c, 4); };
  StateTable& tone = tables.emplace_back(StateTable{"Tone", {}});
  for (unsigned c = 0; c < kNoiseChannel; ++c) {
    StateRow& row = tone.Row("DCSG#" + std::to_string(c), Bit(written, c) || Bit(written, 4 + c))
                        .Hex("PERIOD", s.Latch[kTonePeriod + c], 3)
                        .Note(s.ChannelPitch[c])
                        .Number("ATT", attenuation(c));
    if (stereo) row.Text("L/R", PanText(Bit(mask, 4 + c), Bit(mask, c)));
  }
  static constexpr std::array<const char*, 4> kRates = {"N/512", "N/1024", "N/2048", "tone 2"};
  const unsigned noise = s.Latch[kNoiseControl];
  StateRow& row = tables.emplace_back(StateTable{"Noise", {}})
                      .Row("DCSG#3", (written & kNoiseWritten) != 0 || Bit(written, 7))
                      .Text("MODE", Bit(noise, 2) ? "white" : "periodic")
                      .Text("RATE", kRates[Bitfield(noise, 0, 2)])
                      .Number("ATT", attenuation(kNoiseChannel));
  if (VariantGiven(device.variant)) {
    char lfsr[32];
    std::snprintf(lfsr, sizeof lfsr, "%u bits, taps $%04x", VariantWidth(device.variant),
                  static_cast<unsigned>(Bitfield(device.variant, 0, 16)));
    row.Text("LFSR", lfsr).Note(NoisePitch(noise, s.Latch[kTonePeriod + 2], device));
  }
  if (stereo) row.Text("L/R", PanText(Bit(mask, 7), Bit(mask, 3)));
}

// A tone channel is audible once its period and attenuation are written and the attenuation is
// below 15 (silent); 2 dB a step. The noise channel is not a note.
int DcsgSounds(const ChipState& s, const DeviceInfo& /*device*/, std::span<ChannelSound, kSoundChannels> out) {
  static constexpr std::array<std::string_view, 3> kNames = {"DCSG#0", "DCSG#1", "DCSG#2"};
  const std::uint32_t written = s.Latch[kWrittenBits];
  for (unsigned c = 0; c < kNoiseChannel; ++c) {
    const unsigned attenuation = Bitfield(s.Latch[kAttenuations], 4 * c, 4);
    out[c] = ChannelSound{kNames[c], Bit(written, c) && Bit(written, 4 + c) && attenuation < 15,
                          static_cast<int>(c), -1, -1, VelocityOfAttenuation(2.0 * attenuation)};
  }
  return static_cast<int>(kNoiseChannel);
}

std::unique_ptr<DetailDecoder> MakeDcsgAnnotator() { return std::make_unique<DcsgDetailDecoder>(); }

}  // namespace

void DcsgDetailDecoder::SetDevice(int device, const DeviceInfo& info) {
  states_.At(device).Stereo = HasStereo(info.variant);
}

const ChipFamily kDcsgFamily = {"DCSG", MakeDcsgAnnotator, DcsgBank, DcsgPorts, DcsgKeys, ApplyDcsg,
                                 nullptr, nullptr, DescribeDcsg, DcsgSounds};

}  // namespace tavrin
