// --midi: the notes as played written as a Standard MIDI File, type 1.
#pragma once

#include <cstdint>
#include <string>

#include "core/command.h"
#include "report/played.h"

namespace tavrin {

// The time base of a file: `division` MIDI ticks a quarter note of `tempo` microseconds, so that one
// tick of the log's timer is exactly `perLogTick` MIDI ticks. `exact` is false only for a timer no
// division up to 32767 and tempo up to 2^24 - 1 can express; its ticks are then rounded.
struct MidiTiming {
  std::uint16_t division = 480;
  std::uint32_t tempo = 500000;
  std::uint64_t perLogTick = 1;
  bool exact = true;
  double ratio = 1.0;  // MIDI ticks per log tick when not exact
};
MidiTiming MidiTimingFor(const TickRate& rate);

// The bend range every melodic track sets with RPN 0, in semitones; bends beyond it are held at it.
inline constexpr int kMidiBendRange = 24;
// Melodic tracks take MIDI channels 1-9 and 11-16 of port 0, then of port 1, ...; drum tracks all
// take channel 10 of port 0.
inline constexpr int kMelodicChannelsPerPort = 15;
// Program of a melodic channel without an FM voice (SSG, DCSG): Lead 1 (square).
inline constexpr int kSquareProgram = 80;

// The whole file: a conductor track (sequence name, tempo, loop marker), then one track per channel.
std::string MidiFileBytes(const PlayedSong& song);

}  // namespace tavrin
