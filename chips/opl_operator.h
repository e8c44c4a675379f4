// Register fields the OPLL shares with the OPL family: the same bits, read at other addresses.
#pragma once

#include "core/bits.h"

namespace tavrin::opl_operator {

// OPL $20 row, OPLL $00/$01.
constexpr bool AmOn(unsigned v) { return Bit(v, 7); }
constexpr bool VibratoOn(unsigned v) { return Bit(v, 6); }
constexpr bool SustainHold(unsigned v) { return Bit(v, 5); }
constexpr bool KeyScaleRate(unsigned v) { return Bit(v, 4); }
constexpr unsigned Multiple(unsigned v) { return Bitfield(v, 0, 4); }
// OPL $40 row, OPLL $02/$03.
constexpr unsigned KeyScaleLevel(unsigned v) { return Bitfield(v, 6, 2); }
constexpr unsigned TotalLevel(unsigned v) { return Bitfield(v, 0, 6); }
// OPL $60 row, OPLL $04/$05.
constexpr unsigned AttackRate(unsigned v) { return Bitfield(v, 4, 4); }
constexpr unsigned DecayRate(unsigned v) { return Bitfield(v, 0, 4); }
// OPL $80 row, OPLL $06/$07.
constexpr unsigned SustainLevel(unsigned v) { return Bitfield(v, 4, 4); }
constexpr unsigned ReleaseRate(unsigned v) { return Bitfield(v, 0, 4); }

// Both keep a channel's pitch in two rows: the F-number's low byte (OPL $A0, OPLL $10) and a row with
// its high bits, the block and the key (OPL $B0, OPLL $20).
struct ChannelRow {
  int channel = -1;    // -1: neither row
  bool keyRow = false;  // the row with the key bit
};

constexpr ChannelRow ChannelRowOf(unsigned reg, unsigned fnumberRow, unsigned keyRow, unsigned channels) {
  if (reg >= fnumberRow && reg < fnumberRow + channels) return {static_cast<int>(reg - fnumberRow), false};
  if (reg >= keyRow && reg < keyRow + channels) return {static_cast<int>(reg - keyRow), true};
  return {};
}

}  // namespace tavrin::opl_operator
