// The rhythm section shared by the OPL family and the OPLL: its five instruments' letters and key text.
#pragma once

#include <array>
#include <string_view>

#include "chips/family.h"
#include "core/report_sink.h"

namespace tavrin {

// Bass drum, snare drum, tom-tom, top cymbal, hi-hat. Both chips key them with the low five bits of
// their rhythm register (OPL $BD, OPLL $0E), bass drum highest: letter i goes with bit 4 - i.
// The OPNA's rhythm unit has six instruments in another order and keeps its own letters.
inline constexpr char RhythmLetters[] = "BSTCH";
inline constexpr int kRhythmInstrumentCount = 5;
static_assert(sizeof(RhythmLetters) == kRhythmInstrumentCount + 1);

// Bit 5 of the rhythm register switches the last channels over to the drums.
constexpr bool RhythmModeOn(unsigned value) { return ((value >> 5) & 1u) != 0; }

// The rhythm-mode text of a write to the rhythm register. The key field always takes ten characters
// (" X" for a keyed instrument, two blanks otherwise) so successive lines stay aligned.
inline void PrintRhythmMode(ReportSink& out, unsigned value) {
  if (!RhythmModeOn(value)) {
    out.Print<"[RHYTHM MODE OFF]">();
    return;
  }
  out.Print<"[RHYTHM MODE ON]">();
  for (int i = 0; i < kRhythmInstrumentCount; ++i) {
    if (((value >> (4 - i)) & 1u) != 0) {
      out.Print<" %c">(RhythmLetters[i]);
    } else {
      out.Print<"  ">();
    }
  }
}

// Rhythm instruments by key bit as key-on counts name them, hi-hat in bit 0; listed from the top.
inline constexpr std::array<std::string_view, kRhythmInstrumentCount> kRhythmKeyNames = {"HH", "CYM", "TOM", "SD",
                                                                                        "BD"};

// A write to the rhythm register: the keys held while rhythm mode is on; an instrument keys on when
// its bit turns on.
inline void ApplyRhythmKeys(ChipState& state, WriteEffect& effect, unsigned value) {
  const auto held = static_cast<std::uint8_t>(RhythmModeOn(value) ? (value & 0x1Fu) : 0u);
  effect.keyedOn |= static_cast<std::uint32_t>(held & ~state.RhythmHeld) << kChannelSlots;
  state.RhythmHeld = held;
}

}  // namespace tavrin
