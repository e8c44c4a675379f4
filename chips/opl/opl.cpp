// OPL-family register decoder: routes a write by bank and address and prints its fields (map in opl.h).
//
// For the register model: $B0-$B8 key their channel (port 1 of the OPL3: channels 9-17), $BD keys
// the rhythm instruments in rhythm mode, and $A0-$A8 / $B0-$B8 set the channel's pitch:
//   f = F * 2^B * clock / (72 * 2^20); OPL3: clock / (288 * 2^20)
#include "chips/opl/opl.h"

#include <cstdio>
#include <memory>
#include <string>

#include "chips/opl_operator.h"
#include "chips/rhythm_letters.h"
#include "core/bits.h"

namespace tavrin {

namespace {

constexpr int kChannelsPerBank = 9;


// Operator rows: the channel (within the bank) and operator (0 modulator, 1 carrier) of each offset.
// The chip interleaves its 18 operators in three groups of six; -1 marks the offsets between groups.
constexpr int kSlotOffsetCount = 22;
constexpr std::array<int, kSlotOffsetCount> OplSlotChannelMap = {
    0, 1, 2, 0, 1, 2, -1, -1, 3, 4, 5, 3, 4, 5, -1, -1, 6, 7, 8, 6, 7, 8};
constexpr std::array<int, kSlotOffsetCount> OplSlotOperatorMap = {
    0, 0, 0, 1, 1, 1, -1, -1, 0, 0, 0, 1, 1, 1, -1, -1, 0, 0, 0, 1, 1, 1};

constexpr bool IsSlotOffset(unsigned offset) {
  return offset < kSlotOffsetCount && OplSlotChannelMap[offset] >= 0;
}

// Channel rows ($A0, $B0, $C0) cover nine registers from their base.
constexpr bool IsChannelOffset(unsigned offset) { return offset < kChannelsPerBank; }

// Channel number as printed: the second bank continues after the first bank's nine channels.
constexpr int PrintedChannel(int bank, int channelInBank) { return bank * kChannelsPerBank + channelInBank; }

// Operator rows $20-$80: chips/opl_operator.h.
// $E0 row: OPL3 mode opens the third waveform bit; an OPL2-mode chip ignores it.
constexpr unsigned OpWaveform(unsigned v, bool opl3Mode) { return Bitfield(v, 0, opl3Mode ? 3 : 2); }

// $B0 row.
constexpr bool ChKeyOn(unsigned v) { return Bit(v, 5); }
constexpr unsigned ChBlock(unsigned v) { return Bitfield(v, 2, 3); }
constexpr unsigned ChFNumberHigh(unsigned v) { return Bitfield(v, 0, 2); }
// $C0 row: output i (A to D) is bit 4 + i.
constexpr bool ChOutput(unsigned v, int output) { return Bit(v, 4 + output); }
constexpr unsigned ChFeedback(unsigned v) { return Bitfield(v, 1, 3); }
constexpr unsigned ChConnection(unsigned v) { return Bitfield(v, 0, 1); }

// The second bank is an OPL3-mode feature; a write to it while the device is still in OPL2 mode is
// marked, then decoded as usual, so a driver that forgot to switch modes shows up in the report.
void WarnIfBankIdle(ReportSink& out, const OplDeviceState& state, int bank) {
  if (bank == 1 && state.Opl3Mode == 0) out.Print<"(Not OPL3 mode) ">();
}

// Bits 6 and 5 are the timers' flag masks on the chip; the report has always called a set one ENABLE.
void PrintTimerControl(ReportSink& out, unsigned value) {
  out.Print<"TIMER CONTROL">();
  out.Print<"  TIMER1:">();
  PrintEither<" ENABLE", " DISABLE">(out, Bit(value, 6));
  PrintEither<" START", " STOP">(out, Bit(value, 0));
  out.Print<"  TIMER2:">();
  PrintEither<" ENABLE", " DISABLE">(out, Bit(value, 5));
  PrintEither<" START", " STOP">(out, Bit(value, 1));
  if (Bit(value, 7)) out.Print<" [TIMER RESET]">();
}

void PrintFourOperatorPairs(ReportSink& out, unsigned value) {
  out.Print<"OPL3 4-OP MODE: CH">();
  for (int pair = 0; pair < 6; ++pair) {
    if (Bit(value, pair)) {
      out.Print<" %d">(pair);
    } else {
      out.Print<" -">();
    }
  }
}

void PrintCsm(ReportSink& out, unsigned value) {
  out.Print<"CSM:">();
  PrintEither<" ON", " OFF">(out, Bit(value, 7));
  out.Print<"NOTE SELECT:">();
  PrintEither<" ON", " OFF">(out, Bit(value, 6));
}

// Registers $00-$1F: test, timers, the bank-1 mode switches and CSM. Each bank has its own few.
void DecodeSystem(ReportSink& out, OplDeviceState& state, int bank, unsigned reg, unsigned value) {
  if (bank == 0) {
    switch (reg) {
      case 0x01:
        out.Print<"TEST=$%02x ">(value);
        if (Bit(value, 5)) out.Print<"[WAVE FORM SELECT ON]">();
        return;
      case 0x02: out.Print<"TIMER1=%3d">(value); return;
      case 0x03: out.Print<"TIMER2=%3d">(value); return;
      case 0x04: PrintTimerControl(out, value); return;
      case 0x08: PrintCsm(out, value); return;
      default: return;
    }
  }
  switch (reg) {
    case 0x01: out.Print<"TEST=$%02x ">(Bitfield(value, 0, 6)); return;
    case 0x04:
      WarnIfBankIdle(out, state, bank);
      PrintFourOperatorPairs(out, value);
      return;
    case 0x05:
      state.Opl3Mode = Bitfield(value, 0, 1);
      PrintEither<"[OPL3 mode]", "[OPL2 mode]">(out, state.Opl3Mode != 0);
      return;
    default: return;
  }
}

// Rows $20, $40, $60, $80 and $E0: one register per operator.
void DecodeOperator(ReportSink& out, const OplDeviceState& state, int bank, unsigned reg, unsigned value) {
  const unsigned row = reg & 0xE0;
  const unsigned offset = reg & 0x1F;
  if (!IsSlotOffset(offset)) return;
  WarnIfBankIdle(out, state, bank);
  const int channel = PrintedChannel(bank, OplSlotChannelMap[offset]);
  const int op = OplSlotOperatorMap[offset] + 1;
  switch (row) {
    case 0x20:
      out.Print<"FM#%02d op=%d ML=%d">(channel, op, opl_operator::Multiple(value));
      if (opl_operator::AmOn(value)) out.Print<" AM">();
      if (opl_operator::VibratoOn(value)) out.Print<" VIB">();
      if (opl_operator::SustainHold(value)) out.Print<" EG">();
      if (opl_operator::KeyScaleRate(value)) out.Print<" KSR">();
      return;
    case 0x40:
      out.Print<"FM#%02d op=%d TL=%d KSL=%d">(channel, op, opl_operator::TotalLevel(value), opl_operator::KeyScaleLevel(value));
      return;
    case 0x60:
      out.Print<"FM#%02d op=%d AR=%d DR=%d">(channel, op, opl_operator::AttackRate(value), opl_operator::DecayRate(value));
      return;
    case 0x80:
      out.Print<"FM#%02d op=%d RR=%d SL=%d">(channel, op, opl_operator::ReleaseRate(value), opl_operator::SustainLevel(value));
      return;
    default:  // 0xE0
      out.Print<"FM#%02d op=%d WAVEFORM=%d">(channel, op, OpWaveform(value, state.Opl3Mode != 0));
      return;
  }
}

// Rows $A0 and $B0 (the pitch latch and key) and, in bank 0 only, $BD.
void DecodeFrequency(ReportSink& out, OplDeviceState& state, int bank, unsigned reg, unsigned value) {
  if (reg == 0xBD) {
    if (bank != 0) return;
    if (Bit(value, 7)) out.Print<"[AM DEPTH] ">();
    if (Bit(value, 6)) out.Print<"[VIB DEPTH] ">();
    PrintRhythmMode(out, value);
    return;
  }
  const unsigned offset = reg & 0x0F;
  if (!IsChannelOffset(offset)) return;
  const int channel = PrintedChannel(bank, static_cast<int>(offset));
  unsigned& fnumber = state.FNumber[static_cast<unsigned>(channel)];
  WarnIfBankIdle(out, state, bank);
  if (reg < 0xB0) {
    fnumber = (fnumber & 0x300u) | value;
    out.Print<"FM#%02d F-NUM1=$%02x">(channel, value);
    return;
  }
  fnumber = (ChFNumberHigh(value) << 8) | (fnumber & 0xFFu);
  out.Print<"FM#%02d BLOCK=%d F-NUM2=$%02x($%03x) Key-">(channel, ChBlock(value), ChFNumberHigh(value),
                                                        fnumber);
  PrintEither<"ON", "OFF">(out, ChKeyOn(value));
}

// Row $C0: connection, feedback and the OPL3's four outputs.
void DecodeConnection(ReportSink& out, const OplDeviceState& state, int bank, unsigned reg, unsigned value) {
  const unsigned offset = reg & 0x1F;
  if (!IsChannelOffset(offset)) return;
  WarnIfBankIdle(out, state, bank);
  out.Print<"FM#%02d CONNECT=%d FB=%d  OUTPUT CH:">(PrintedChannel(bank, static_cast<int>(offset)),
                                                  ChConnection(value), ChFeedback(value));
  constexpr char kOutputLetters[] = "ABCD";
  for (int output = 0; output < 4; ++output) {
    if (ChOutput(value, output)) {
      out.Print<" %c">(kOutputLetters[output]);
    } else {
      out.Print<" -">();
    }
  }
}

}  // namespace


void OplDetailDecoder::Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) {
  if (reg > 0xFF) return;
  const int bank = port & 1;
  OplDeviceState& state = states_.At(device);
  switch (reg & 0xE0) {
    case 0x00: DecodeSystem(out, state, bank, reg, value); return;
    case 0x20:
    case 0x40:
    case 0x60:
    case 0x80:
    case 0xE0: DecodeOperator(out, state, bank, reg, value); return;
    case 0xA0: DecodeFrequency(out, state, bank, reg, value); return;
    case 0xC0: DecodeConnection(out, state, bank, reg, value); return;
  }
}

// ---- The family ----------------------------------------------------------------------------------

namespace {

constexpr std::uint32_t kOpl3 = static_cast<std::uint32_t>(DeviceType::Opl3);
constexpr unsigned kOplDivider = 72;
constexpr unsigned kOpl3Divider = 288;  // the OPL3 runs from four times the clock of an OPL2
constexpr int kFractionBits = 20;

// Only the OPL3 has a second bank; port 1 of an OPL or OPL2 reaches nothing.
int OplBank(std::uint32_t type, int port) { return port == 0 || type == kOpl3 ? port : -1; }
int OplPorts(std::uint32_t type) { return type == kOpl3 ? 2 : 1; }
KeyLayout OplKeys(std::uint32_t type) {
  return {type == kOpl3 ? 2 * kChannelsPerBank : kChannelsPerBank, kRhythmKeyNames, true};
}

// F-numbers, blocks and key bits of each bank, and the rhythm keys: the registers ApplyOpl acts on.
constexpr RegisterSet kOplApplyRegisters = RegisterSet{}
                                               .Add(0, 0xA0, 0xA0 + kChannelsPerBank - 1)
                                               .Add(0, 0xB0, 0xB0 + kChannelsPerBank - 1)
                                               .Add(0, 0xBD, 0xBD)
                                               .Add(1, 0xA0, 0xA0 + kChannelsPerBank - 1)
                                               .Add(1, 0xB0, 0xB0 + kChannelsPerBank - 1)
                                               .Add(1, 0xBD, 0xBD);

void ApplyOpl(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
              WriteEffect& effect) {
  const int bankBase = port != 0 ? kChannelsPerBank : 0;
  if (reg == 0xBD) {
    if (port == 0) ApplyRhythmKeys(state, effect, value);
    return;
  }
  const opl_operator::ChannelRow channel = opl_operator::ChannelRowOf(reg, 0xA0, 0xB0, kChannelsPerBank);
  if (channel.channel < 0) return;
  if (channel.keyRow) HoldKeys(state, effect, bankBase + channel.channel, Bit(value, 5) ? 1 : 0);
  const auto row = static_cast<unsigned>(channel.channel);
  const auto& bank = state.Registers[static_cast<std::size_t>(port)];
  const unsigned high = bank[0xB0 + row];
  const unsigned fnumber = (Bitfield(high, 0, 2) << 8) | bank[0xA0 + row];
  SetPitch(state, effect, bankBase + static_cast<int>(row),
           PhaseStepPitch(fnumber, Bitfield(high, 2, 3), device.clock,
                          device.type == kOpl3 ? kOpl3Divider : kOplDivider, kFractionBits));
}

// Operator offsets of channel c (within its bank): modulator, then carrier.
constexpr std::array<unsigned, 2> OperatorOffsets(unsigned c) {
  const unsigned base = (c / 3) * 8 + c % 3;
  return {base, base + 3};
}

// Rhythm instruments as $BD keys them, bass drum in bit 4.
constexpr std::array<const char*, kRhythmInstrumentCount> kRhythmRowNames = {"BD", "SD", "TOM", "CYM", "HH"};

// Rhythm mode hands channels 6-8 to the drums (their key bits no longer play notes). The second
// channel of a joined OPL3 pair sounds through the first.
int OplSounds(const ChipState& s, const DeviceInfo& device, std::span<ChannelSound, kSoundChannels> out) {
  const int channels = OplKeys(device.type).channels;
  const bool rhythm = RhythmModeOn(RegisterAt(s, 0, 0xBD));
  int n = 0;
  for (int c = 0; c < channels; ++c) {
    Voice voice;
    const bool own = CaptureOplVoice(s, device, c, voice);
    ChannelSound sound = FmChannelSound(s, c, voice);
    if (!own || (rhythm && c >= 6 && c < 9)) sound.sounding = false;
    out[static_cast<std::size_t>(n++)] = sound;
  }
  return n;
}

void DescribeOpl(const ChipState& s, const DeviceInfo& device, StateTables& tables) {
  const bool opl3 = device.type == kOpl3;
  const bool waves = device.type != static_cast<std::uint32_t>(DeviceType::Opl);
  const unsigned fourOp = RegisterAt(s, 1, 0x04);
  const bool opl3Mode = opl3 && Bit(RegisterAt(s, 1, 0x05), 0);
  StateTable& ch = tables.emplace_back(StateTable{"FM channels", {}});
  StateTable& op = tables.emplace_back(StateTable{"FM operators", {}});
  const int banks = opl3 ? 2 : 1;
  for (int bank = 0; bank < banks; ++bank) {
    for (unsigned c = 0; c < kChannelsPerBank; ++c) {
      const int number = PrintedChannel(bank, static_cast<int>(c));
      char name[8];
      std::snprintf(name, sizeof name, "FM#%02d", number);
      const unsigned b0 = RegisterAt(s, bank, 0xB0 + c);
      const unsigned c0 = RegisterAt(s, bank, 0xC0 + c);
      const auto offsets = OperatorOffsets(c);
      bool used = WrittenAt(s, bank, 0xA0 + c) || WrittenAt(s, bank, 0xB0 + c) || WrittenAt(s, bank, 0xC0 + c);
      for (unsigned row : {0x20u, 0x40u, 0x60u, 0x80u, 0xE0u}) {
        used = used || WrittenAt(s, bank, row + offsets[0]) || WrittenAt(s, bank, row + offsets[1]);
      }
      StateRow& row = ch.Row(name, used)
                          .Hex("F-NUM", (ChFNumberHigh(b0) << 8) | RegisterAt(s, bank, 0xA0 + c), 3)
                          .Number("BLOCK", ChBlock(b0))
                          .Note(s.ChannelPitch[static_cast<std::size_t>(number)])
                          .Number("FB", ChFeedback(c0))
                          .Number("CNT", ChConnection(c0))
                          .Flag("KEY", ChKeyOn(b0));
      if (opl3) {
        std::string outputs;
        for (int o = 0; o < 4; ++o) outputs += ChOutput(c0, o) ? "ABCD"[o] : '-';
        // Pairs: channels 0+3, 1+4, 2+5 of each bank, enabled by bits 0-2 (bank 0) and 3-5 (bank 1).
        std::string pair = "-";
        if (c < 6) {
          const unsigned bit = (c % 3) + 3u * static_cast<unsigned>(bank);
          if (opl3Mode && Bit(fourOp, bit)) pair = c < 3 ? "1st" : "2nd";
        }
        row.Text("OUT", outputs).Text("4OP", pair);
      }
      for (unsigned o = 0; o < 2; ++o) {
        const unsigned at = offsets[o];
        const auto r = [&](unsigned base) { return RegisterAt(s, bank, base + at); };
        bool written = false;
        for (unsigned base : {0x20u, 0x40u, 0x60u, 0x80u, 0xE0u}) written = written || WrittenAt(s, bank, base + at);
        StateRow& opRow = op.Row(name, std::string(name) + " op" + std::to_string(o + 1), written)
                              .Flag("AM", opl_operator::AmOn(r(0x20)))
                              .Flag("VIB", opl_operator::VibratoOn(r(0x20)))
                              .Flag("EG", opl_operator::SustainHold(r(0x20)))
                              .Flag("KSR", opl_operator::KeyScaleRate(r(0x20)))
                              .Number("MUL", opl_operator::Multiple(r(0x20)))
                              .Number("KSL", opl_operator::KeyScaleLevel(r(0x40)))
                              .Number("TL", opl_operator::TotalLevel(r(0x40)))
                              .Number("AR", opl_operator::AttackRate(r(0x60)))
                              .Number("DR", opl_operator::DecayRate(r(0x60)))
                              .Number("SL", opl_operator::SustainLevel(r(0x80)))
                              .Number("RR", opl_operator::ReleaseRate(r(0x80)));
        if (waves) opRow.Number("WAVE", OpWaveform(r(0xE0), opl3Mode));
      }
    }
  }
  const unsigned bd = RegisterAt(s, 0, 0xBD);
  const unsigned mode = RegisterAt(s, 0, 0x08);
  StateRow& common = tables.emplace_back(StateTable{"FM common", {}})
                         .Row("OPL", WrittenAt(s, 0, 0xBD) || WrittenAt(s, 0, 0x08) || AnyWritten(s, 0, 0x01, 4) ||
                                               (opl3 && AnyWritten(s, 1, 0x04, 2)))
                         .Flag("AM-DEPTH", Bit(bd, 7))
                         .Flag("VIB-DEPTH", Bit(bd, 6))
                         .Flag("RHYTHM", RhythmModeOn(bd))
                         .Flag("CSM", Bit(mode, 7))
                         .Flag("NOTE-SEL", Bit(mode, 6))
                         .Number("TIMER1", RegisterAt(s, 0, 0x02), false)
                         .Number("TIMER2", RegisterAt(s, 0, 0x03), false);
  if (device.type == static_cast<std::uint32_t>(DeviceType::Opl2)) {
    common.Flag("WAVE-SEL", Bit(RegisterAt(s, 0, 0x01), 5));
  }
  if (opl3) common.Flag("OPL3", opl3Mode).Hex("4OP-PAIRS", Bitfield(fourOp, 0, 6), 2);
  StateTable& rhythm = tables.emplace_back(StateTable{"Rhythm", {}});
  for (unsigned k = 0; k < kRhythmInstrumentCount; ++k) {
    rhythm.Row(kRhythmRowNames[k], RhythmModeOn(bd)).Flag("KEY", Bit(s.RhythmHeld, 4 - k));
  }
}

std::unique_ptr<DetailDecoder> MakeOplAnnotator() { return std::make_unique<OplDetailDecoder>(); }

}  // namespace

const ChipFamily kOplFamily = {"OPL", MakeOplAnnotator, OplBank, OplPorts, OplKeys, ApplyOpl,
                               &kOplApplyRegisters, CaptureOplVoice, DescribeOpl, OplSounds};

}  // namespace tavrin
