// Pitch as the chips set it (exact fractions where the rule allows), and its text: note name and hertz.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/report_sink.h"

namespace tavrin {

// A frequency in hertz as an exact fraction: every rule but the OPM's is a ratio of integers, so the
// printed hundredths can round exactly at the half instead of at a binary neighbour of it.
struct Frequency {
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
};

// The pitch one channel is set to.
struct Pitch {
  enum class Rule : std::uint8_t {
    None,   // never set
    Ratio,  // `frequency` holds it exactly (0 / anything: silent)
    Opm,    // exponential: `semitones` above A4 at the OPM reference clock, scaled by `clock`
  };
  Rule rule = Rule::None;
  Frequency frequency;
  double semitones = 0.0;
  std::int32_t clock = 0;
};

// A clock of 0 or less (a broken or hostile device record) sounds nothing: frequency 0.
constexpr bool ClockUsable(std::int32_t clock) { return clock > 0; }

// Phase-step rule of the FM chips: F * 2^B * clock / (divider * 2^fractionBits). F stays below 2^11
// and B below 8, so the numerator stays below 2^49 and leaves room for the hundredths.
constexpr Pitch PhaseStepPitch(unsigned fnumber, unsigned block, std::int32_t clock, unsigned divider,
                               int fractionBits) {
  if (!ClockUsable(clock)) return Pitch{Pitch::Rule::Ratio, {}, 0.0, clock};
  return Pitch{Pitch::Rule::Ratio,
               {(std::uint64_t{fnumber} << block) * static_cast<std::uint64_t>(clock),
                std::uint64_t{divider} << fractionBits},
               0.0, clock};
}

constexpr Pitch RatioPitch(Frequency f) { return Pitch{Pitch::Rule::Ratio, f, 0.0, 0}; }

// The pitch in hertz as a double (what a MIDI key and bend are taken from); 0 for silence or never set.
double PitchHertz(const Pitch& pitch);

// " => C4-1c 261.52Hz": the MIDI key nearest to the pitch, its octave in scientific pitch notation,
// the distance in cents, and the frequency in hundredths of a hertz; " => --- 0.00Hz" for silence.
void WritePitch(ReportSink& out, const Pitch& pitch);

// WritePitch with the texts of the pitches met before kept, for one conversion: a song plays the same
// few dozen pitches over and over, and working a text out (logarithm, rounding, digits) costs several
// times what copying it does. Two ways of 512 sets (64 KiB) hold the pitches last met, more than a song
// plays and little enough to stay in the cache: a table of 1 MiB, though it kept more of the random
// pitches of the benchmark log, made --notes slower there. Room is taken on first use.
//
// A log whose pitches seldom come back (a sweep, the random benchmark log) misses nearly every time,
// and a miss costs the look-up and the keeping besides the working out. So the table watches itself:
// when fewer than one in eight of a probe of kProbe texts were found, the next kSkip are worked out
// without it, and then it is tried again.
class PitchTexts {
 public:
  PitchTexts() = default;
  PitchTexts(const PitchTexts&) = delete;
  PitchTexts& operator=(const PitchTexts&) = delete;

  void Write(ReportSink& out, const Pitch& pitch) {
    if (skip_ != 0) {
      --skip_;
      WritePitch(out, pitch);
      return;
    }
    const Key key = KeyOf(pitch);
    Entry* const set = SetOf(key);
    if (set[0].size != 0 && set[0].a == key.a && set[0].b == key.b && set[0].rule == key.rule) {
      Copy(out, set[0]);
      ++found_;
    } else {
      WriteOther(out, pitch, key, set);
    }
    if (--probe_ == 0) Review();
  }

 private:
  struct Key {
    std::uint64_t a;  // the frequency's numerator, or the OPM's semitones as bits
    std::uint64_t b;  // its denominator, or the OPM's clock
    Pitch::Rule rule;
  };
  static Key KeyOf(const Pitch& pitch) {
    if (pitch.rule == Pitch::Rule::Opm) {
      return {std::bit_cast<std::uint64_t>(pitch.semitones), static_cast<std::uint32_t>(pitch.clock), pitch.rule};
    }
    return {pitch.frequency.numerator, pitch.frequency.denominator, pitch.rule};
  }

  static constexpr std::size_t kTextRoom = 46;  // " => C#-1+50c 2147483647.99Hz" and all shorter
  // The text first: a hit copies the entry's first 48 bytes whole (three 16-byte moves) and keeps `size`
  // of them.
  struct Entry {
    char text[kTextRoom];
    Pitch::Rule rule = Pitch::Rule::None;
    std::uint8_t size = 0;  // 0: empty
    std::uint64_t a = 0;    // as in Key
    std::uint64_t b = 0;
  };
  static constexpr std::size_t kCopy = 48;
  static_assert(offsetof(Entry, a) == kCopy && sizeof(Entry) == 64);
  static void Copy(ReportSink& out, const Entry& entry) {
    out.AppendWith(kCopy, [&entry](char* to) {
      std::memcpy(to, &entry, kCopy);
      return to + entry.size;
    });
  }
  static constexpr std::size_t kSets = 512;

  Entry* SetOf(const Key& key) {
    if (!entries_) MakeEntries();
    const std::uint64_t hash = (key.a * 0x9E3779B97F4A7C15u) ^ (key.b * 0xC2B2AE3D27D4EB4Fu) ^
                               static_cast<std::uint64_t>(key.rule);
    return &entries_[2 * ((hash >> 40) % kSets)];
  }
  [[gnu::noinline]] void MakeEntries();
  // The pitch is not the set's latest: the other way holds it, or it is worked out.
  [[gnu::noinline]] void WriteOther(ReportSink& out, const Pitch& pitch, const Key& key, Entry* set);
  // After a probe: whether the next texts skip the table.
  [[gnu::noinline]] void Review();
  // Works the text out into `out` and keeps it in `entry` when it fits.
  static void Make(ReportSink& out, const Pitch& pitch, Entry& entry);

  std::unique_ptr<Entry[]> entries_;  // [set][way], way 0 the more recent
  static constexpr std::uint32_t kProbe = 1024;
  static constexpr std::uint32_t kSkip = 15 * 1024;
  std::uint32_t probe_ = kProbe;  // texts left in this probe
  std::uint32_t found_ = 0;       // of them found in the table so far
  std::uint32_t skip_ = 0;        // texts left to work out without the table
};

// Makes the note texts a sink left to its target (one Pitch a piece), with the texts met before kept.
class PitchTextMaker final : public PieceMaker {
 public:
  void Make(ReportSink& out, const DeferredPiece& piece) override {
    Pitch pitch;
    std::memcpy(&pitch, piece.value.data(), sizeof pitch);
    texts_.Write(out, pitch);
  }

 private:
  PitchTexts texts_;
};

}  // namespace tavrin
