// Pitch of register writes: each family's frequency rule, then the nearest note and its cents.
#include "decoders/pitch.h"
#include "decoders/bits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace tavrin {

namespace {

// Device type codes of the device list that have a pitch rule.
constexpr std::uint32_t kTypePsgYm2149 = 1;
constexpr std::uint32_t kTypeOpn = 2;
constexpr std::uint32_t kTypeOpn2 = 3;
constexpr std::uint32_t kTypeOpna = 4;
constexpr std::uint32_t kTypeOpm = 5;
constexpr std::uint32_t kTypeOpll = 6;
constexpr std::uint32_t kTypeOpl = 7;
constexpr std::uint32_t kTypeOpl2 = 8;
constexpr std::uint32_t kTypeOpl3 = 9;
constexpr std::uint32_t kTypePsgAy8910 = 15;
constexpr std::uint32_t kTypeDcsg = 16;


// ---- Frequencies and their printing --------------------------------------------------------------

// A frequency in hertz as an exact fraction: every rule but the OPM's is a ratio of integers, so the
// printed hundredths can round exactly at the half instead of at a binary neighbour of it.
struct Frequency {
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
};

constexpr double kA4Hertz = 440.0;
constexpr double kA4Key = 69.0;  // MIDI key number of A4

// A clock of 0 or less (a broken or hostile device record) sounds nothing: frequency 0.
constexpr bool ClockUsable(std::int32_t clock) { return clock > 0; }

// Phase-step rule of the FM chips: F * 2^B * clock / (divider * 2^fractionBits). F stays below 2^11
// and B below 8, so the numerator stays below 2^49 and leaves room for the hundredths.
constexpr Frequency PhaseStepFrequency(unsigned fnumber, unsigned block, std::int32_t clock, unsigned divider,
                                       int fractionBits) {
  if (!ClockUsable(clock)) return {};
  return {(std::uint64_t{fnumber} << block) * static_cast<std::uint64_t>(clock),
          std::uint64_t{divider} << fractionBits};
}

// Hundredths of a hertz, halves rounded up.
constexpr std::uint64_t Hundredths(const Frequency& f) {
  return (200 * f.numerator + f.denominator) / (2 * f.denominator);
}

// "C4-1c": the MIDI key nearest to the fractional key number, its octave in scientific pitch
// notation, and the distance in cents rounded half away from zero (so +12.5 and -12.5 mirror each
// other). Keys outside MIDI 0 to 127 have no name here: "---".
void PrintNote(ReportSink& out, double key) {
  static constexpr std::array<const char*, 12> kNoteNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                             "F#", "G",  "G#", "A",  "A#", "B"};
  const double nearest = std::floor(key + 0.5);
  if (!(nearest >= 0.0 && nearest <= 127.0)) {
    out.Print<"---">();
    return;
  }
  const int note = static_cast<int>(nearest);
  const long cents = std::lround(100.0 * (key - nearest));
  out.Print<"%s%d%c%dc">(kNoteNames[static_cast<std::size_t>(note % 12)], note / 12 - 1,
                         cents < 0 ? '-' : '+', std::labs(cents));
}

// " 440.40Hz" from hundredths of a hertz; the whole hertz are a 64-bit count, so they go out as text.
void PrintHertz(ReportSink& out, std::uint64_t hundredths) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, hundredths / 100);
  out.Print<" %s.%02dHz">(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)),
                          static_cast<int>(hundredths % 100));
}

void PrintSilence(ReportSink& out) { out.Print<" => --- 0.00Hz">(); }

void PrintPitch(ReportSink& out, const Frequency& f) {
  if (f.numerator == 0 || f.denominator == 0) {
    PrintSilence(out);
    return;
  }
  const double hertz = static_cast<double>(f.numerator) / static_cast<double>(f.denominator);
  out.Print<" => ">();
  PrintNote(out, kA4Key + 12.0 * std::log2(hertz / kA4Hertz));
  PrintHertz(out, Hundredths(f));
}

// ---- OPN family: FM -----------------------------------------------------------------------------

// FM divider D of the phase-step rule by prescaler setting (power-on, $2E, $2F). The OPN2 has no
// prescaler registers and always divides by the OPNA's power-on value.
constexpr std::array<unsigned, 3> kOpnFmDivider = {72, 36, 24};
constexpr std::array<unsigned, 3> kOpnaFmDivider = {144, 72, 48};
constexpr unsigned kOpn2FmDivider = 144;
constexpr int kOpnFractionBits = 21;

constexpr unsigned FmDivider(std::uint32_t type, std::uint32_t prescaler) {
  if (type == kTypeOpn) return kOpnFmDivider[prescaler];
  if (type == kTypeOpna) return kOpnaFmDivider[prescaler];
  return kOpn2FmDivider;
}

// F-NUM2 byte ($A4-$A6, $AC-$AE).
constexpr unsigned OpnBlock(unsigned fnum2) { return Bitfield(fnum2, 3, 3); }
constexpr unsigned OpnFNumberHigh(unsigned fnum2) { return Bitfield(fnum2, 0, 3); }

constexpr bool IsPrescalerRegister(unsigned reg) { return reg >= 0x2D && reg <= 0x2F; }
constexpr std::uint32_t PrescalerSetting(unsigned reg) { return reg - 0x2D; }

// Frequency rows come in threes from $A0, $A4, $A8 and $AC; the fourth address of each is unused.
constexpr bool IsOpnFrequencyRow(unsigned reg, unsigned rowBase) {
  return reg >= rowBase && reg < rowBase + 3;
}

// The chip keeps one F-NUM2 latch for the six channels and one for the special-mode slots; an F-NUM1
// write copies the latch, whichever channel last wrote it, into the channel it addresses.
void OpnFm(ReportSink& out, std::uint32_t type, std::int32_t clock, PitchDeviceState& state, int port,
           unsigned reg, unsigned value) {
  const bool secondPort = port != 0;
  if (secondPort && type == kTypeOpn) return;  // the OPN has one port
  if (IsOpnFrequencyRow(reg, 0xA4)) {
    state.FNumber2Latch = value;
  } else if (IsOpnFrequencyRow(reg, 0xAC) && !secondPort) {
    state.SpecialFNumber2Latch = value;
  } else if (IsOpnFrequencyRow(reg, 0xA0) || (IsOpnFrequencyRow(reg, 0xA8) && !secondPort)) {
    const unsigned latch = reg < 0xA8 ? state.FNumber2Latch : state.SpecialFNumber2Latch;
    const unsigned fnumber = (OpnFNumberHigh(latch) << 8) | value;
    PrintPitch(out, PhaseStepFrequency(fnumber, OpnBlock(latch), clock, FmDivider(type, state.Prescaler),
                                       kOpnFractionBits));
  } else if (IsPrescalerRegister(reg) && !secondPort && type != kTypeOpn2) {
    state.Prescaler = PrescalerSetting(reg);
  }
}

// ---- SSG and PSG --------------------------------------------------------------------------------

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
  if (type == kTypeOpn) return kOpnSsgScale[prescaler];
  if (type == kTypeOpna) return kOpnaSsgScale[prescaler];
  if (type == kTypePsgYm2149) return kYm2149Scale;
  return kAy8910Scale;
}

constexpr unsigned kSsgToneRegisterEnd = 0x06;  // $00-$05: fine and coarse tune of channels A, B, C
constexpr unsigned SsgChannel(unsigned reg) { return reg >> 1; }
constexpr bool IsCoarseTune(unsigned reg) { return Bit(reg, 0); }
constexpr unsigned SsgCoarse(unsigned value) { return Bitfield(value, 0, 4); }

// The tone counter toggles the output every TP steps of clock / 8: a period of 0 counts as 1.
constexpr Frequency SsgFrequency(std::uint32_t period, std::int32_t clock, ClockScale scale) {
  if (!ClockUsable(clock)) return {};
  const std::uint64_t steps = period == 0 ? 1 : period;
  return {static_cast<std::uint64_t>(clock) * scale.multiplier, 16 * steps * scale.divisor};
}

void Ssg(ReportSink& out, std::uint32_t type, std::int32_t clock, PitchDeviceState& state, unsigned reg,
         unsigned value) {
  if (reg >= kSsgToneRegisterEnd) return;
  std::uint32_t& period = state.SsgTonePeriod[SsgChannel(reg)];
  if (IsCoarseTune(reg)) {
    period = (period & 0x0FFu) | (SsgCoarse(value) << 8);
  } else {
    period = (period & 0xF00u) | value;
  }
  PrintPitch(out, SsgFrequency(period, clock, SsgClockScale(type, state.Prescaler)));
}

// ---- OPM ----------------------------------------------------------------------------------------

constexpr double kOpmReferenceClock = 3579545.0;  // the clock at which key code $4A plays 440 Hz
constexpr unsigned kOpmKeyCodeBase = 0x28;
constexpr unsigned kOpmKeyFractionBase = 0x30;
constexpr unsigned kOpmChannels = 8;

constexpr int OpmOctave(unsigned keyCode) { return static_cast<int>(Bitfield(keyCode, 4, 3)); }
// Semitone above the octave's C#: codes 3, 7, 11 and 15 are gaps that sound as the code after them.
constexpr int OpmSemitone(unsigned keyCode) {
  const unsigned code = Bitfield(keyCode, 0, 4);
  return static_cast<int>(code - (code >> 2));
}
constexpr int OpmKeyFraction(unsigned value) { return static_cast<int>(Bitfield(value, 2, 6)); }

// Key code $4A (octave 4, code 10, semitone 8) is A4 at the reference clock.
constexpr double OpmSemitonesFromA4(unsigned keyCode, unsigned keyFraction) {
  return 12.0 * (OpmOctave(keyCode) - 4) + (OpmSemitone(keyCode) - 8) + OpmKeyFraction(keyFraction) / 64.0;
}

// The OPM's pitch is exponential in its registers, so here the key number is exact (it matters at
// 50 cents) and the frequency is rounded from a double.
void Opm(ReportSink& out, std::int32_t clock, PitchDeviceState& state, unsigned reg, unsigned value) {
  unsigned channel = 0;
  if (reg >= kOpmKeyCodeBase && reg < kOpmKeyCodeBase + kOpmChannels) {
    channel = reg - kOpmKeyCodeBase;
    state.KeyCode[channel] = value;
  } else if (reg >= kOpmKeyFractionBase && reg < kOpmKeyFractionBase + kOpmChannels) {
    channel = reg - kOpmKeyFractionBase;
    state.KeyFraction[channel] = value;
  } else {
    return;
  }
  if (!ClockUsable(clock)) {
    PrintSilence(out);
    return;
  }
  const double semitones = OpmSemitonesFromA4(state.KeyCode[channel], state.KeyFraction[channel]);
  const double clockRatio = clock / kOpmReferenceClock;
  const double hertz = kA4Hertz * std::exp2(semitones / 12.0) * clockRatio;
  out.Print<" => ">();
  PrintNote(out, kA4Key + semitones + 12.0 * std::log2(clockRatio));
  PrintHertz(out, static_cast<std::uint64_t>(std::floor(hertz * 100.0 + 0.5)));
}

// ---- OPL, OPL2, OPL3 ----------------------------------------------------------------------------

constexpr unsigned kOplChannelsPerBank = 9;
constexpr unsigned kOplDivider = 72;
constexpr unsigned kOpl3Divider = 288;  // the OPL3 runs from four times the clock of an OPL2
constexpr int kOplFractionBits = 20;

constexpr bool IsOplChannelRow(unsigned reg, unsigned rowBase) {
  return reg >= rowBase && reg < rowBase + kOplChannelsPerBank;
}
// $B0 row.
constexpr unsigned OplBlock(unsigned value) { return Bitfield(value, 2, 3); }
constexpr unsigned OplFNumberHigh(unsigned value) { return Bitfield(value, 0, 2); }

void Opl(ReportSink& out, std::uint32_t type, std::int32_t clock, PitchDeviceState& state, int port,
         unsigned reg, unsigned value) {
  // Only the OPL3 has a second bank; port 1 of an OPL or OPL2 reaches nothing.
  if (port != 0 && type != kTypeOpl3) return;
  const unsigned bankBase = port != 0 ? kOplChannelsPerBank : 0;
  unsigned channel = 0;
  if (IsOplChannelRow(reg, 0xA0)) {
    channel = bankBase + (reg - 0xA0);
    state.OplFNumberLow[channel] = value;
  } else if (IsOplChannelRow(reg, 0xB0)) {
    channel = bankBase + (reg - 0xB0);
    state.OplBlockFNumber[channel] = value;
  } else {
    return;
  }
  const unsigned high = state.OplBlockFNumber[channel];
  const unsigned fnumber = (OplFNumberHigh(high) << 8) | state.OplFNumberLow[channel];
  PrintPitch(out, PhaseStepFrequency(fnumber, OplBlock(high), clock,
                                     type == kTypeOpl3 ? kOpl3Divider : kOplDivider, kOplFractionBits));
}

// ---- OPLL ---------------------------------------------------------------------------------------

constexpr unsigned kOpllChannels = 9;
constexpr unsigned kOpllDivider = 72;
constexpr int kOpllFractionBits = 19;

constexpr bool IsOpllChannelRow(unsigned reg, unsigned rowBase) {
  return reg >= rowBase && reg < rowBase + kOpllChannels;
}
// $20 row.
constexpr unsigned OpllBlock(unsigned value) { return Bitfield(value, 1, 3); }
constexpr unsigned OpllFNumberHigh(unsigned value) { return Bitfield(value, 0, 1); }

void Opll(ReportSink& out, std::int32_t clock, PitchDeviceState& state, unsigned reg, unsigned value) {
  unsigned channel = 0;
  if (IsOpllChannelRow(reg, 0x10)) {
    channel = reg - 0x10;
    state.OpllFNumberLow[channel] = value;
  } else if (IsOpllChannelRow(reg, 0x20)) {
    channel = reg - 0x20;
    state.OpllBlockFNumber[channel] = value;
  } else {
    return;
  }
  const unsigned high = state.OpllBlockFNumber[channel];
  const unsigned fnumber = (OpllFNumberHigh(high) << 8) | state.OpllFNumberLow[channel];
  PrintPitch(out, PhaseStepFrequency(fnumber, OpllBlock(high), clock, kOpllDivider, kOpllFractionBits));
}

// ---- DCSG ---------------------------------------------------------------------------------------

constexpr unsigned kGameGearStereoRegister = 1;  // S98 logs the Game Gear's stereo port as register 1
constexpr unsigned kDcsgNoiseChannel = 3;

constexpr bool IsLatchByte(unsigned value) { return Bit(value, 7); }
constexpr unsigned LatchedChannel(unsigned command) { return Bitfield(command, 5, 2); }
constexpr bool IsAttenuationLatch(unsigned command) { return Bit(command, 4); }
constexpr bool IsToneLatch(unsigned command) {
  return IsLatchByte(command) && !IsAttenuationLatch(command) && LatchedChannel(command) != kDcsgNoiseChannel;
}

// The counter toggles the output every N steps of clock / 16; a period of 0 counts 1024 steps.
constexpr Frequency DcsgFrequency(std::uint32_t period, std::int32_t clock) {
  if (!ClockUsable(clock)) return {};
  const std::uint64_t steps = period == 0 ? 1024 : period;
  return {static_cast<std::uint64_t>(clock), 32 * steps};
}

void Dcsg(ReportSink& out, std::int32_t clock, PitchDeviceState& state, unsigned reg, unsigned value) {
  if (reg == kGameGearStereoRegister) return;
  if (IsLatchByte(value)) {
    state.DcsgLatchedCommand = value & 0xF0u;
    if (!IsToneLatch(value)) return;
    std::uint32_t& period = state.DcsgTonePeriod[LatchedChannel(value)];
    period = (period & 0x3F0u) | Bitfield(value, 0, 4);
    PrintPitch(out, DcsgFrequency(period, clock));
    return;
  }
  // A data byte extends whatever was latched last; only a tone latch gives it period bits.
  if (!IsToneLatch(state.DcsgLatchedCommand)) return;
  std::uint32_t& period = state.DcsgTonePeriod[LatchedChannel(state.DcsgLatchedCommand)];
  period = (period & 0x00Fu) | (Bitfield(value, 0, 6) << 4);
  PrintPitch(out, DcsgFrequency(period, clock));
}

}  // namespace

void PitchTracker::Annotate(ReportSink& out, std::uint32_t type, std::int32_t clock, int device, int port,
                            unsigned reg, unsigned value) {
  if (device < 0 || device >= kDeviceIndexCount) return;
  PitchDeviceState& state = states_[static_cast<std::size_t>(device)];
  port &= 1;
  reg &= 0xFFu;
  value &= 0xFFu;
  switch (type) {
    case kTypePsgYm2149:
    case kTypePsgAy8910:
      if (port == 0) Ssg(out, type, clock, state, reg, value);
      break;
    case kTypeOpn:
    case kTypeOpna:
      if (port == 0) Ssg(out, type, clock, state, reg, value);
      OpnFm(out, type, clock, state, port, reg, value);
      break;
    case kTypeOpn2:
      OpnFm(out, type, clock, state, port, reg, value);
      break;
    case kTypeOpm:
      Opm(out, clock, state, reg, value);
      break;
    case kTypeOpll:
      Opll(out, clock, state, reg, value);
      break;
    case kTypeOpl:
    case kTypeOpl2:
    case kTypeOpl3:
      Opl(out, type, clock, state, port, reg, value);
      break;
    case kTypeDcsg:
      Dcsg(out, clock, state, reg, value);
      break;
    default:
      break;  // no pitch rule: NONE, the PCM and wavetable chips, codes this tool does not know
  }
}

}  // namespace tavrin
