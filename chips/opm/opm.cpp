// OPM (YM2151) register decoder: global, channel and operator registers, with timer A assembled per device.
//
// YM2151 register map (one bank of 256; channel = address bits 2-0, operator block = bits 4-3):
//
//   Global
//     01 xxxxxxxx Test register
//        ------x- LFO reset (held while set)
//     08 -x------ Key on, operator C2       (shown as mark 1)
//        --x----- Key on, operator M2       (shown as mark 2)
//        ---x---- Key on, operator C1       (shown as mark 3)
//        ----x--- Key on, operator M1       (shown as mark 4)
//        -----xxx Channel
//     0F x------- Noise enable (replaces channel 7, operator C2)
//        ---xxxxx Noise frequency
//     10 xxxxxxxx Timer A period, bits 9-2
//     11 ------xx Timer A period, bits 1-0
//     12 xxxxxxxx Timer B period
//     14 x------- CSM: timer A overflow keys every channel on
//        --x----- Timer B flag reset
//        ---x---- Timer A flag reset
//        ----x--- Timer B interrupt enable
//        -----x-- Timer A interrupt enable
//        ------x- Timer B load (runs while set)
//        -------x Timer A load (runs while set)
//     18 xxxxxxxx LFO frequency
//     19 x------- Depth select: 1 phase (PMD), 0 amplitude (AMD)
//        -xxxxxxx LFO depth
//     1B xx------ CT2/CT1 output pins (not shown)
//        ------xx LFO waveform: saw, square, triangle, noise
//   Per channel
//  20-27 x------- Right output enable       (shown as L)
//        -x------ Left output enable        (shown as R)
//        --xxx--- Operator M1 self-feedback
//        -----xxx Algorithm
//  28-2F -xxx---- Key code: octave          (shown plus 1)
//        ----xxxx Key code: note; 3, 7, 11 and 15 are not notes
//  30-37 xxxxxx-- Key fraction, 1/64 semitone
//  38-3F -xxx---- Phase modulation sensitivity
//        ------xx Amplitude modulation sensitivity
//   Per operator (blocks of 8 in register order M1, M2, C1, C2, shown as slot 0, 3, 1, 2)
//  40-5F -xxx---- DT1 fine detune
//        ----xxxx ML frequency multiple
//  60-7F -xxxxxxx TL total level            (shown with bit 7)
//  80-9F xx------ KS key scaling
//        ---xxxxx AR attack rate
//  A0-BF x------- Amplitude modulation enable
//        ---xxxxx D1R first decay rate
//  C0-DF xx------ DT2 coarse detune
//        ---xxxxx D2R second decay rate
//  E0-FF xxxx---- D1L first decay level
//        ----xxxx RR release rate
//
// Registers not listed above print nothing.
//
// For the register model, $08 keys (from port 0 writes, as key-on counts have always been taken) and
// $28-$2F / $30-$37 set the pitch of their channel:
//   semitones above A4 = 12 (octave - 4) + (note - note / 4 - 8) + fraction / 64 at 3579545 Hz.
#include "chips/opm/opm.h"

#include <memory>
#include <string>
#include "core/bits.h"

namespace tavrin {
namespace {


// Slot number printed for each operator block, by address bits 4-3. Existing reports show these
// numbers, so they stay as they are: not counted from 1 and not in key-on order.
constexpr std::array<int, 4> OpmSlotMap = {0, 3, 1, 2};

// Note of a key code's low four bits; every name is two characters wide.
constexpr std::array<const char*, 16> KeyCodeNoteNames = {
    "c+", "d ", "d+", "??", "e ", "f ", "f+", "??", "g ", "g+", "a ", "??", "a+", "b ", "c ", "??"};

constexpr unsigned ChannelOf(unsigned reg) { return Bitfield(reg, 0, 3); }
constexpr int SlotOf(unsigned reg) { return OpmSlotMap[Bitfield(reg, 3, 2)]; }

// Channel registers $20-$3F: one handler per block of eight.
using ChannelHandler = void (*)(ReportSink& out, unsigned channel, unsigned value);

void PrintConnection(ReportSink& out, unsigned channel, unsigned value) {
  out.Print<"FM#%d FB=%d AL=%d">(channel, Bitfield(value, 3, 3), Bitfield(value, 0, 3));
  if (Bit(value, 7)) out.Print<" L">();
  if (Bit(value, 6)) out.Print<" R">();
}

void PrintKeyCode(ReportSink& out, unsigned channel, unsigned value) {
  const unsigned octave = Bitfield(value, 4, 3) + 1;
  out.Print<"FM#%d KEY-CODE OCT=%d NOTE=%s">(channel, octave, KeyCodeNoteNames[Bitfield(value, 0, 4)]);
}

void PrintKeyFraction(ReportSink& out, unsigned channel, unsigned value) {
  out.Print<"FM#%d KEY-FRACTION=$%02x">(channel, Bitfield(value, 2, 6));
}

void PrintModulationSensitivity(ReportSink& out, unsigned channel, unsigned value) {
  out.Print<"FM#%d PMS=%d AMS=%d">(channel, Bitfield(value, 4, 3), Bitfield(value, 0, 2));
}

constexpr std::array<ChannelHandler, 4> kChannelHandlers = {
    PrintConnection,             // $20-$27
    PrintKeyCode,                // $28-$2F
    PrintKeyFraction,            // $30-$37
    PrintModulationSensitivity,  // $38-$3F
};

// Operator registers $40-$FF: one handler per block of 32.
using OperatorHandler = void (*)(ReportSink& out, unsigned channel, int slot, unsigned value);

void PrintDetuneMultiple(ReportSink& out, unsigned channel, int slot, unsigned value) {
  out.Print<"FM#%d (slot%d) DT1=%2d ML=%2d">(channel, slot, Bitfield(value, 4, 3), Bitfield(value, 0, 4));
}

void PrintTotalLevel(ReportSink& out, unsigned channel, int slot, unsigned value) {
  // The whole byte: a log that sets the unused bit 7 shows it.
  out.Print<"FM#%d (slot%d) TL=%3d">(channel, slot, value);
}

void PrintKeyScaleAttack(ReportSink& out, unsigned channel, int slot, unsigned value) {
  out.Print<"FM#%d (slot%d) KS=%d AR=%2d">(channel, slot, Bitfield(value, 6, 2), Bitfield(value, 0, 5));
}

void PrintFirstDecay(ReportSink& out, unsigned channel, int slot, unsigned value) {
  out.Print<"FM#%d (slot%d) DR=%2d ">(channel, slot, Bitfield(value, 0, 5));
  if (Bit(value, 7)) {
    out.Print<"AMS-ON">();
  } else {
    out.Print<"AMS-OFF">();
  }
}

void PrintDetune2SecondDecay(ReportSink& out, unsigned channel, int slot, unsigned value) {
  out.Print<"FM#%d (slot%d) DT2=%d SR=%2d">(channel, slot, Bitfield(value, 6, 2), Bitfield(value, 0, 5));
}

void PrintSustainRelease(ReportSink& out, unsigned channel, int slot, unsigned value) {
  out.Print<"FM#%d (slot%d) SL=%2d RR=%2d">(channel, slot, Bitfield(value, 4, 4), Bitfield(value, 0, 4));
}

constexpr std::array<OperatorHandler, 6> kOperatorHandlers = {
    PrintDetuneMultiple,      // $40-$5F
    PrintTotalLevel,          // $60-$7F
    PrintKeyScaleAttack,      // $80-$9F
    PrintFirstDecay,          // $A0-$BF
    PrintDetune2SecondDecay,  // $C0-$DF
    PrintSustainRelease,      // $E0-$FF
};

// $08: the channel sits in the value, and the four operator bits are shown from bit 6 down.
void PrintKeyOn(ReportSink& out, unsigned value) {
  out.Print<"FM#%d Key-ON/OFF">(Bitfield(value, 0, 3));
  for (int mark = 1; mark <= 4; ++mark) {
    if (Bit(value, static_cast<unsigned>(7 - mark))) {
      out.Print<" %d">(mark);
    } else {
      out.Print<" -">();
    }
  }
}

// $14: CSM, then timer A's load/enable/reset bits, then timer B's. Timer A's ENABLE has no trailing
// blank and timer B's has one: the established layout, kept so reports compare byte for byte.
void PrintTimerControl(ReportSink& out, unsigned value) {
  out.Print<"Mode: ">();
  if (Bit(value, 7)) {
    out.Print<"CSM">();
  } else {
    out.Print<"NORMAL">();
  }
  out.Print<"  TIMER-A:">();
  if (Bit(value, 0)) {
    out.Print<" START">();
  } else {
    out.Print<" STOP ">();
  }
  if (Bit(value, 2)) {
    out.Print<" ENABLE">();
  } else {
    out.Print<" DISABLE">();
  }
  if (Bit(value, 4)) out.Print<" RESET">();
  out.Print<"  TIMER-B:">();
  if (Bit(value, 1)) {
    out.Print<" START">();
  } else {
    out.Print<" STOP ">();
  }
  if (Bit(value, 3)) {
    out.Print<" ENABLE ">();
  } else {
    out.Print<" DISABLE">();
  }
  if (Bit(value, 5)) out.Print<" RESET">();
}

}  // namespace

void OpmDetailDecoder::Decode(ReportSink& out, int device, int /*port*/, unsigned reg, unsigned value) {
  if (reg >= 0x40 && reg <= 0xFF) {
    kOperatorHandlers[(reg >> 5) - 2](out, ChannelOf(reg), SlotOf(reg), value);
  } else if (reg >= 0x20 && reg <= 0x3F) {
    kChannelHandlers[(reg - 0x20) >> 3](out, ChannelOf(reg), value);
  } else if (reg < 0x20) {
    DecodeGlobal(out, device, reg, value);
  }
}

void OpmDetailDecoder::DecodeGlobal(ReportSink& out, int device, unsigned reg, unsigned value) {
  switch (reg) {
    case 0x01:
      out.Print<"TEST=$%02x ">(value);
      if (Bit(value, 1)) {
        out.Print<"[HW LFO RESET ON]">();
      } else {
        out.Print<"[HW LFO RESET OFF]">();
      }
      break;
    case 0x08:
      PrintKeyOn(out, value);
      break;
    case 0x0F:
      out.Print<"NOISE ">();
      if (Bit(value, 7)) {
        out.Print<"ENABLE  ">();
      } else {
        out.Print<"DISABLE ">();
      }
      out.Print<"NOISE FREQ=%2d">(Bitfield(value, 0, 5));
      break;
    case 0x10:
    case 0x11:
      DecodeTimerA(out, device, reg, value);
      break;
    case 0x12:
      out.Print<"TIMER-B CLKB=$%02x">(value);
      break;
    case 0x14:
      PrintTimerControl(out, value);
      break;
    case 0x18:
      out.Print<"HW LFO FREQ=$%02x">(value);
      break;
    case 0x19:
      out.Print<"HW LFO ">();
      if (Bit(value, 7)) {
        out.Print<"PMD">();
      } else {
        out.Print<"AMD">();
      }
      out.Print<"=$%02x">(Bitfield(value, 0, 7));
      break;
    case 0x1B:
      out.Print<"HW LFO WAVEFORM=%d">(Bitfield(value, 0, 2));
      break;
    default:
      break;  // unused or undocumented: nothing to say
  }
}

// $10 and $11 each hold part of timer A's 10-bit period; the line shows the byte written and the
// period as it stands after the write, which is what the chip will count from.
void OpmDetailDecoder::DecodeTimerA(ReportSink& out, int device, unsigned reg, unsigned value) {
  OpmDeviceState& state = states_.At(device);
  if (reg == 0x10) {
    state.TimerA = (state.TimerA & 0x003u) | (Bitfield(value, 0, 8) << 2);
    out.Print<"TIMER-A CLKA1=$%02x($%03x)">(value, state.TimerA);
  } else {
    state.TimerA = (state.TimerA & 0x3FCu) | Bitfield(value, 0, 2);
    out.Print<"TIMER-A CLKA2=$%02x($%03x)">(Bitfield(value, 0, 2), state.TimerA);
  }
}

// ---- The family ----------------------------------------------------------------------------------

namespace {

constexpr unsigned kKeyCodeBase = 0x28;
constexpr unsigned kKeyFractionBase = 0x30;
constexpr unsigned kChannels = 8;

// Latch entries of ChipState for this family: $19 sets AMD or PMD by its bit 7, so one address holds
// two depths. Each entry is the depth with bit 8 set once written.
constexpr std::size_t kAmDepth = 0;
constexpr std::size_t kPmDepth = 1;
constexpr std::uint32_t kDepthWritten = 0x100;

constexpr int Octave(unsigned keyCode) { return static_cast<int>(Bitfield(keyCode, 4, 3)); }
// Semitone above the octave's C#: codes 3, 7, 11 and 15 are gaps that sound as the code after them.
constexpr int Semitone(unsigned keyCode) {
  const unsigned code = Bitfield(keyCode, 0, 4);
  return static_cast<int>(code - (code >> 2));
}
constexpr int KeyFraction(unsigned value) { return static_cast<int>(Bitfield(value, 2, 6)); }

// Key code $4A (octave 4, code 10, semitone 8) is A4 at the reference clock.
constexpr double SemitonesFromA4(unsigned keyCode, unsigned keyFraction) {
  return 12.0 * (Octave(keyCode) - 4) + (Semitone(keyCode) - 8) + KeyFraction(keyFraction) / 64.0;
}

// One register bank: the port bit reaches the same registers.
int OpmBank(std::uint32_t /*type*/, int /*port*/) { return 0; }
int OpmPorts(std::uint32_t /*type*/) { return 1; }
KeyLayout OpmKeys(std::uint32_t /*type*/) { return {static_cast<int>(kChannels), {}, false}; }

// Key on/off, LFO depths, key codes and fractions: the registers ApplyOpm acts on.
constexpr RegisterSet kOpmApplyRegisters = RegisterSet{}
                                               .Add(0, 0x08, 0x08)
                                               .Add(0, 0x19, 0x19)
                                               .Add(0, kKeyCodeBase, kKeyFractionBase + kChannels - 1)
                                               .Add(1, 0x08, 0x08)
                                               .Add(1, 0x19, 0x19)
                                               .Add(1, kKeyCodeBase, kKeyFractionBase + kChannels - 1);

void ApplyOpm(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
              WriteEffect& effect) {
  if (reg == 0x08) {
    if (port == 0) {
      HoldKeys(state, effect, static_cast<int>(Bitfield(value, 0, 3)),
               static_cast<std::uint8_t>(Bitfield(value, 3, 4)));
    }
    return;
  }
  if (reg == 0x19) {
    state.Latch[Bit(value, 7) ? kPmDepth : kAmDepth] = kDepthWritten | Bitfield(value, 0, 7);
    return;
  }
  unsigned channel = 0;
  if (reg >= kKeyCodeBase && reg < kKeyCodeBase + kChannels) {
    channel = reg - kKeyCodeBase;
  } else if (reg >= kKeyFractionBase && reg < kKeyFractionBase + kChannels) {
    channel = reg - kKeyFractionBase;
  } else {
    return;
  }
  const auto& bank = state.Registers[0];
  SetPitch(state, effect, static_cast<int>(channel),
           Pitch{Pitch::Rule::Opm, {},
                 SemitonesFromA4(bank[kKeyCodeBase + channel], bank[kKeyFractionBase + channel]), device.clock});
}

// Operator blocks of eight in register order M1, M2, C1, C2.
constexpr std::array<const char*, 4> kOperatorNames = {"M1", "M2", "C1", "C2"};

// $08 bits 3-6 key M1, C1, M2, C2.
std::string OpmKeyText(unsigned held) {
  static constexpr std::array<const char*, 4> kKeyOrder = {"M1", "C1", "M2", "C2"};
  std::string text;
  for (unsigned k = 0; k < 4; ++k) {
    if (!Bit(held, k)) continue;
    if (!text.empty()) text += '+';
    text += kKeyOrder[k];
  }
  return text.empty() ? "-" : text;
}

void DescribeOpm(const ChipState& s, const DeviceInfo& /*device*/, StateTables& tables) {
  StateTable& ch = tables.emplace_back(StateTable{"FM channels", {}});
  StateTable& op = tables.emplace_back(StateTable{"FM operators", {}});
  for (unsigned c = 0; c < kChannels; ++c) {
    const std::string name = "FM#" + std::to_string(c);
    const unsigned con = RegisterAt(s, 0, 0x20 + c);
    const unsigned sens = RegisterAt(s, 0, 0x38 + c);
    bool used = AnyWritten(s, 0, 0x20 + c, 4, 8) || s.KeyHeld[c] != 0;
    for (unsigned reg = 0x40 + c; reg < 0x100 && !used; reg += 8) used = WrittenAt(s, 0, reg);
    ch.Row(name, used)
        .Hex("KC", RegisterAt(s, 0, kKeyCodeBase + c), 2)
        .Number("KF", KeyFraction(RegisterAt(s, 0, kKeyFractionBase + c)))
        .Note(s.ChannelPitch[c])
        .Number("FB", Bitfield(con, 3, 3))
        .Number("ALG", Bitfield(con, 0, 3))
        .Text("L/R", PanText(Bit(con, 6), Bit(con, 7)))
        .Number("PMS", Bitfield(sens, 4, 3))
        .Number("AMS", Bitfield(sens, 0, 2))
        .Text("KEY", OpmKeyText(s.KeyHeld[c]));
    for (unsigned o = 0; o < 4; ++o) {
      const unsigned at = c + 8 * o;
      const auto r = [&](unsigned row) { return RegisterAt(s, 0, row + at); };
      op.Row(name, name + " " + kOperatorNames[o], AnyWritten(s, 0, 0x40 + at, 6, 0x20))
          .Number("DT1", Bitfield(r(0x40), 4, 3))
          .Number("MUL", Bitfield(r(0x40), 0, 4))
          .Number("TL", Bitfield(r(0x60), 0, 7))
          .Number("KS", Bitfield(r(0x80), 6, 2))
          .Number("AR", Bitfield(r(0x80), 0, 5))
          .Flag("AM", Bit(r(0xA0), 7))
          .Number("D1R", Bitfield(r(0xA0), 0, 5))
          .Number("DT2", Bitfield(r(0xC0), 6, 2))
          .Number("D2R", Bitfield(r(0xC0), 0, 5))
          .Number("D1L", Bitfield(r(0xE0), 4, 4))
          .Number("RR", Bitfield(r(0xE0), 0, 4));
    }
  }
  static constexpr std::array<const char*, 4> kWaves = {"saw", "square", "triangle", "noise"};
  const unsigned noise = RegisterAt(s, 0, 0x0F);
  tables.emplace_back(StateTable{"FM common", {}})
      .Row("OPM", AnyWritten(s, 0, 0x0F, 13))
      .Flag("NOISE", Bit(noise, 7))
      .Number("NOISE-FREQ", Bitfield(noise, 0, 5))
      .Number("LFO-FREQ", RegisterAt(s, 0, 0x18))
      .Number("AMD", Bitfield(s.Latch[kAmDepth], 0, 7))
      .Number("PMD", Bitfield(s.Latch[kPmDepth], 0, 7))
      .Text("WAVE", kWaves[Bitfield(RegisterAt(s, 0, 0x1B), 0, 2)])
      .Number("TIMER-A", (RegisterAt(s, 0, 0x10) << 2) | Bitfield(RegisterAt(s, 0, 0x11), 0, 2), false)
      .Number("TIMER-B", RegisterAt(s, 0, 0x12), false)
      .Flag("CSM", Bit(RegisterAt(s, 0, 0x14), 7));
}

int OpmSounds(const ChipState& s, const DeviceInfo& device, std::span<ChannelSound, kSoundChannels> out) {
  for (int c = 0; c < static_cast<int>(kChannels); ++c) {
    Voice voice;
    CaptureOpmVoice(s, device, c, voice);
    out[static_cast<std::size_t>(c)] = FmChannelSound(s, c, voice);
  }
  return static_cast<int>(kChannels);
}

std::unique_ptr<DetailDecoder> MakeOpmAnnotator() { return std::make_unique<OpmDetailDecoder>(); }

}  // namespace

const ChipFamily kOpmFamily = {"OPM", MakeOpmAnnotator, OpmBank, OpmPorts, OpmKeys, ApplyOpm,
                               &kOpmApplyRegisters, CaptureOpmVoice, DescribeOpm, OpmSounds};

}  // namespace tavrin
