// OPN-family decoder: routing of every port and address, and the FM registers of OPN, OPNA and OPN2.
//
// FM register map as the report reads it (port 0 only unless marked [both]):
//
//      Common registers:
//           21 xxxxxxxx Test
//           22 -x------ LFO enable (the report reads bit 6; the chips' own enable bit is bit 3)
//              -----xxx LFO frequency
//           24 xxxxxxxx Timer A value, bits 9..2
//           25 ------xx Timer A value, bits 1..0
//           26 xxxxxxxx Timer B value
//           27 xx------ Channel FM#2 mode: 00 normal, 01 effect (per-slot F-numbers), 10 CSM
//              --x----- Reset timer B
//              ---x---- Reset timer A
//              ----x--- Enable timer B
//              -----x-- Enable timer A
//              ------x- Start timer B
//              -------x Start timer A
//           28 xxxx---- Key on/off, slots 4..1
//              -----xxx Channel: 0..2 port 0, 4..6 port 1 (3 is unused by the chip)
//           29 x------- Enable FM#3..FM#5 [OPNA]
//              ---x---- IRQ enable ZERO
//              ----x--- IRQ enable BRDY
//              -----x-- IRQ enable EOS
//              ------x- IRQ enable timer B
//              -------x IRQ enable timer A
//           2A xxxxxxxx DAC sample for FM#5 [both] [OPN2]
//           2B x------- DAC enable [both] [OPN2]
//        2D-2F -------- Prescaler select; the address alone chooses it
//
//      Operator registers [both]; channel = low two bits + 3 x port; offset +0 is slot 1, +4 slot 3,
//      +8 slot 2, +C slot 4; low two bits 3 name no channel:
//        30-3F --xx---- Detune (the report reads two bits; the sign bit 6 is left out)
//              ----xxxx Multiple
//        40-4F -xxxxxxx Total level
//        50-5F xx------ Key scale
//              ---xxxxx Attack rate
//        60-6F x------- AM enable
//              ---xxxxx Decay rate
//        70-7F ---xxxxx Sustain rate
//        80-8F xxxx---- Sustain level
//              ----xxxx Release rate
//        90-9F ----xxxx SSG-type envelope
//
//      Channel registers [both]:
//        A0-A2 xxxxxxxx F-number bits 7..0
//        A4-A6 --xxx--- Block
//              -----xxx F-number bits 10..8
//        A8-AA xxxxxxxx FM#2 special-mode F-number bits 7..0: A8 slot 3, A9 slot 1, AA slot 2 [port 0]
//        AC-AE --xxx--- FM#2 special-mode block [port 0]
//              -----xxx FM#2 special-mode F-number bits 10..8 [port 0]
//        B0-B2 --xxx--- Feedback
//              -----xxx Algorithm
//        B4-B6 x------- Left output
//              -x------ Right output
//              --xx---- AM sensitivity
//              -----xxx PM sensitivity
//
//      The rest of the combined map: SSG at port 0 00-0F (opn_ssg.cpp); rhythm at port 0 10-1D and
//      ADPCM at port 1 00-10 (opn_rhythm_adpcm.cpp).
#include "chips/opn/opn.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "chips/opn/opn_internal.h"

namespace tavrin {
namespace {


// Register offset +0/+4/+8/+C of an operator row to the slot order of the datasheet, counted from 0.
constexpr std::array<int, 4> OpnSlotMap = {0, 2, 1, 3};

// Low two bits of $A8..$AA / $AC..$AE to FM#2's special-mode slot (1..3): the third slot comes first.
constexpr std::array<int, 3> Fm3SlotMap = {3, 1, 2};

// Which part of the chip an address belongs to, per port.
enum class Branch : std::uint8_t {
  kNothing,     // not decoded: no text, no state
  kSsg,         // tone, noise, mixer, volume, envelope, I/O
  kRhythm,      // rhythm key, total level, test, instrument levels
  kAdpcm,       // ADPCM unit and its flag control
  kFmCommon,    // timers, mode, key on, IRQ, DAC, prescaler
  kFmOperator,  // $30..$9E, one row of four operators per field
  kFmChannel,   // F-number, block, feedback/algorithm, pan
  kFm3Special,  // FM#2's per-slot F-numbers in special mode
};

struct RouteRow {
  unsigned first;
  unsigned last;
  Branch port0;
  Branch port1;
};

// Address ranges of the combined map (OPNA plus the OPN2 DAC). Ranges not listed decode nothing,
// and neither do channel and operator addresses with low two bits 3 (applied below).
constexpr RouteRow kRouteRows[] = {
    {0x00, 0x0F, Branch::kSsg, Branch::kAdpcm},
    {0x10, 0x10, Branch::kRhythm, Branch::kAdpcm},  // rhythm key on port 0, ADPCM flag control on port 1
    {0x11, 0x12, Branch::kRhythm, Branch::kNothing},
    {0x18, 0x1D, Branch::kRhythm, Branch::kNothing},
    {0x21, 0x22, Branch::kFmCommon, Branch::kNothing},
    {0x24, 0x29, Branch::kFmCommon, Branch::kNothing},
    {0x2A, 0x2B, Branch::kFmCommon, Branch::kFmCommon},  // the OPN2 DAC answers on either port
    {0x2D, 0x2F, Branch::kFmCommon, Branch::kNothing},
    {0x30, 0x9F, Branch::kFmOperator, Branch::kFmOperator},
    {0xA0, 0xA7, Branch::kFmChannel, Branch::kFmChannel},
    {0xA8, 0xAF, Branch::kFm3Special, Branch::kNothing},
    {0xB0, 0xB6, Branch::kFmChannel, Branch::kFmChannel},
};

// Addresses $00..$B6; everything above decodes nothing.
constexpr unsigned kRouteCount = 0xB7;

using RouteTable = std::array<std::array<Branch, kRouteCount>, 2>;

constexpr RouteTable BuildRoutes() {
  RouteTable table{};
  for (const RouteRow& row : kRouteRows) {
    for (unsigned reg = row.first; reg <= row.last; ++reg) {
      table[0][reg] = row.port0;
      table[1][reg] = row.port1;
    }
  }
  for (unsigned reg = 0x30; reg < kRouteCount; ++reg) {
    if (Bitfield(reg, 0, 2) == 3) table[0][reg] = table[1][reg] = Branch::kNothing;
  }
  return table;
}

constexpr RouteTable kRoutes = BuildRoutes();

// Field readers for the FM rows, named after the map above.
constexpr unsigned ChannelOf(unsigned reg, int port) {
  return Bitfield(reg, 0, 2) + 3u * static_cast<unsigned>(port);
}
constexpr int SlotOf(unsigned reg) { return OpnSlotMap[Bitfield(reg, 2, 2)] + 1; }
constexpr unsigned FNumberHigh(unsigned v) { return Bitfield(v, 0, 3); }
constexpr unsigned BlockOf(unsigned v) { return Bitfield(v, 3, 3); }

// $28: channel code 3 has no channel, so codes 4..6 are port 1's FM#3..FM#5 (7 prints as 6).
constexpr unsigned KeyOnChannel(unsigned v) {
  const unsigned code = Bitfield(v, 0, 3);
  return code > 3 ? code - 1 : code;
}

constexpr std::int32_t WithTimerAHigh(std::int32_t timerA, unsigned v) {
  return static_cast<std::int32_t>((static_cast<unsigned>(timerA) & 0x003u) | (v << 2));
}
constexpr std::int32_t WithTimerALow(std::int32_t timerA, unsigned v) {
  return static_cast<std::int32_t>((static_cast<unsigned>(timerA) & 0x3FCu) | Bitfield(v, 0, 2));
}

// F-NUM1 replaces bits 7..0 of the F-number; F-NUM2 bits 10..8 and the block.
void StoreFNumberLow(OpnDeviceState& state, unsigned entry, unsigned v) {
  state.FNumber[entry] =
      static_cast<std::int32_t>((static_cast<unsigned>(state.FNumber[entry]) & 0x700u) | v);
}
void StoreFNumberHigh(OpnDeviceState& state, unsigned entry, unsigned v) {
  state.FNumber[entry] = opn::WithHighBits(state.FNumber[entry], FNumberHigh(v));
  state.Block[entry] = static_cast<std::int32_t>(BlockOf(v));
}

// $27: the mode bits pick FM#2's F-number registers; the low six bits drive both timers.
void DecodeMode(ReportSink& out, OpnDeviceState& state, unsigned v) {
  out.Print<"FM3Mode:">();
  switch (Bitfield(v, 6, 2)) {
    case 2:
      out.Print<"CSM">();
      state.Fm3Special = 1;
      break;
    case 1:
      out.Print<"EFFECT">();
      state.Fm3Special = 1;
      break;
    case 0:
      out.Print<"NORMAL">();
      state.Fm3Special = 0;
      break;
    default:
      out.Print<"(undefined)">();  // both mode bits set: the mode stays as it was
      break;
  }
  out.Print<"  TIMER-A:">();
  if (Bit(v, 0)) {
    out.Print<" START">();
  } else {
    out.Print<" STOP ">();
  }
  if (Bit(v, 2)) {
    out.Print<" ENABLE ">();
  } else {
    out.Print<" DISABLE">();
  }
  if (Bit(v, 4)) {
    out.Print<" RESET">();
  } else {
    out.Print<" -----">();
  }
  out.Print<"  TIMER-B:">();
  if (Bit(v, 1)) {
    out.Print<" START">();
  } else {
    out.Print<" STOP ">();
  }
  if (Bit(v, 3)) {
    out.Print<" ENABLE ">();
  } else {
    out.Print<" DISABLE">();
  }
  if (Bit(v, 5)) {
    out.Print<" RESET">();
  } else {
    out.Print<" -----">();
  }
}

void DecodeKeyOn(ReportSink& out, unsigned v) {
  out.Print<"FM#%d Key-ON/OFF slot:">(KeyOnChannel(v));
  for (int k = 0; k < 4; ++k) {
    if (Bit(v, static_cast<unsigned>(k) + 4)) {
      out.Print<" %d">(k + 1);
    } else {
      out.Print<" -">();
    }
  }
}

void DecodeIrqEnable(ReportSink& out, unsigned v) {
  out.Print<"IRQ Enable:">();
  if (Bit(v, 0)) out.Print<" ENABLE_TIMERA">();
  if (Bit(v, 1)) out.Print<" ENABLE_TIMERB">();
  if (Bit(v, 2)) out.Print<" ENABLE_EOS">();
  if (Bit(v, 3)) out.Print<" EN_BRDY">();
  if (Bit(v, 4)) out.Print<" EN_ZERO">();
  if (Bit(v, 7)) out.Print<" ENABLE_FM4-6">();
}

void DecodeFmCommon(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned v) {
  switch (reg) {
    case 0x21:
      out.Print<"FM Test : %02x">(v);
      break;
    case 0x22:
      out.Print<"FM HW LFO ">();
      if (Bit(v, 6)) {
        out.Print<"ON ">();
      } else {
        out.Print<"OFF ">();
      }
      out.Print<"Freq: %0d">(Bitfield(v, 0, 3));
      break;
    case 0x24:
      state.TimerA = WithTimerAHigh(state.TimerA, v);
      out.Print<"TIMER-A1=$%02x($%03x)">(v, state.TimerA);
      break;
    case 0x25:
      state.TimerA = WithTimerALow(state.TimerA, v);
      out.Print<"TIMER-A2=$%02x($%03x)">(v, state.TimerA);
      break;
    case 0x26:
      out.Print<"TIMER-B=%3d">(v);
      break;
    case 0x27:
      DecodeMode(out, state, v);
      break;
    case 0x28:
      DecodeKeyOn(out, v);
      break;
    case 0x29:
      DecodeIrqEnable(out, v);
      break;
    case 0x2A:
      // A sample byte means something only while the DAC has FM#5's output.
      if (state.DacEnabled != 0) out.Print<"FM#5 DAC $%02x">(v);
      break;
    case 0x2B:
      state.DacEnabled = static_cast<std::int32_t>(Bitfield(v, 7, 1));
      if (Bit(v, 7)) {
        out.Print<"FM#5 DAC ENABLE">();
      } else {
        out.Print<"FM#5 DAC DISABLE">();
      }
      break;
    case 0x2D:
      out.Print<"Prescaler">();
      break;
    case 0x2E:
      out.Print<"Prescaler FM=1/6 SSG=1/2">();
      break;
    case 0x2F:
      out.Print<"Prescaler FM=1/2 SSG=1/1">();
      break;
    default:
      break;
  }
}

void DecodeOperator(ReportSink& out, int port, unsigned reg, unsigned v) {
  const unsigned ch = ChannelOf(reg, port);
  const int slot = SlotOf(reg);
  switch (Bitfield(reg, 4, 4)) {
    case 0x3:
      out.Print<"FM#%d (slot%d) DT=%d  ML=%2d">(ch, slot, Bitfield(v, 4, 2), Bitfield(v, 0, 4));
      break;
    case 0x4:
      out.Print<"FM#%d (slot%d) TL=%3d">(ch, slot, Bitfield(v, 0, 7));
      break;
    case 0x5:
      out.Print<"FM#%d (slot%d) KS=%d  AR=%2d">(ch, slot, Bitfield(v, 6, 2), Bitfield(v, 0, 5));
      break;
    case 0x6:
      out.Print<"FM#%d (slot%d) AMON=%d  DR=%2d">(ch, slot, Bitfield(v, 7, 1), Bitfield(v, 0, 5));
      break;
    case 0x7:
      out.Print<"FM#%d (slot%d) SR=%2d">(ch, slot, Bitfield(v, 0, 5));
      break;
    case 0x8:
      out.Print<"FM#%d (slot%d) SL=%2d  RR=%2d">(ch, slot, Bitfield(v, 4, 4), Bitfield(v, 0, 4));
      break;
    case 0x9:
      out.Print<"FM#%d (slot%d) SSG-EG=%2d">(ch, slot, Bitfield(v, 0, 4));
      break;
    default:
      break;
  }
}

void DecodeChannel(ReportSink& out, OpnDeviceState& state, int port, unsigned reg, unsigned v) {
  const unsigned ch = ChannelOf(reg, port);
  // In special mode FM#2's own F-number registers drive its fourth slot, so they are named so.
  const bool slot4 = port == 0 && ch == 2 && state.Fm3Special == 1;
  switch (reg & 0xFCu) {
    case 0xA0:
      StoreFNumberLow(state, ch, v);
      if (slot4) {
        out.Print<"FM#2 (slot4) F-NUM1=$%02x (OCT=%d $%03x)">(v, state.Block[2], state.FNumber[2]);
      } else {
        out.Print<"FM#%d F-NUM1=$%02x(OCT=%d $%03x)">(ch, v, state.Block[ch], state.FNumber[ch]);
      }
      break;
    case 0xA4:
      // BLOCK= counts octaves from 1 while OCT= shows the stored block from 0.
      StoreFNumberHigh(state, ch, v);
      if (slot4) {
        out.Print<"FM#2 (slot4) BLOCK=%d F-NUM2=$%02x">(state.Block[2] + 1, FNumberHigh(v));
      } else {
        out.Print<"FM#%d BLOCK=%d F-NUM2=$%02x">(ch, state.Block[ch] + 1, FNumberHigh(v));
      }
      break;
    case 0xB0:
      out.Print<"FM#%d FB=%d AL=%d">(ch, Bitfield(v, 3, 3), Bitfield(v, 0, 3));
      break;
    case 0xB4:
      out.Print<"FM#%d AMS=%d PMS=%d">(ch, Bitfield(v, 4, 2), Bitfield(v, 0, 3));
      if (Bit(v, 7)) out.Print<" L">();
      if (Bit(v, 6)) out.Print<" R">();
      break;
    default:
      break;
  }
}

// FM#2's special-mode slots 1..3 share entries 3..5 with port 1's channels: the record has six
// F-number entries, not nine.
void DecodeFm3Special(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned v) {
  const int slot = Fm3SlotMap[Bitfield(reg, 0, 2)];
  const unsigned entry = 2u + static_cast<unsigned>(slot);
  if (reg < 0xAC) {
    StoreFNumberLow(state, entry, v);
    out.Print<"FM#2 (slot%d) F-NUM1=$%02x (OCT=%d $%03x)">(slot, v, state.Block[entry], state.FNumber[entry]);
  } else {
    StoreFNumberHigh(state, entry, v);
    out.Print<"FM#2 (slot%d) BLOCK=%d F-NUM2=$%02x">(slot, state.Block[entry] + 1, FNumberHigh(v));
  }
}

}  // namespace

void OpnDetailDecoder::Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) {
  // Callers pass indexes 0..126; anything else has no record and gets no text.
  if (device < 0 || device >= kDeviceIndexCount || reg >= kRouteCount) return;
  const int p = port & 1;
  const unsigned v = Bitfield(value, 0, 8);
  OpnDeviceState& state = states_.At(device);
  switch (kRoutes[static_cast<std::size_t>(p)][reg]) {
    case Branch::kNothing:
      break;
    case Branch::kSsg:
      opn::DecodeSsg(out, state, reg, v);
      break;
    case Branch::kRhythm:
      opn::DecodeRhythm(out, reg, v);
      break;
    case Branch::kAdpcm:
      opn::DecodeAdpcm(out, state, reg, v);
      break;
    case Branch::kFmCommon:
      DecodeFmCommon(out, state, reg, v);
      break;
    case Branch::kFmOperator:
      DecodeOperator(out, p, reg, v);
      break;
    case Branch::kFmChannel:
      DecodeChannel(out, state, p, reg, v);
      break;
    case Branch::kFm3Special:
      DecodeFm3Special(out, state, reg, v);
      break;
  }
}

}  // namespace tavrin
