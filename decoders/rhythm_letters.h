// The rhythm section shared by the OPL family and the OPLL: its five instruments' letters and key text.
#pragma once

#include "engine/report_sink.h"

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

}  // namespace tavrin
