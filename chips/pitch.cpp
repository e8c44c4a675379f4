// Note names and frequencies: the nearest note and its cents, the hertz rounded to hundredths.
#include "chips/pitch.h"

#include <array>
#include <bit>
#include <charconv>  // std::to_chars
#include <cmath>
#include <cstdlib>  // std::labs
#include <cstring>
#include <string_view>

namespace tavrin {

namespace {

constexpr double kA4Hertz = 440.0;
constexpr double kA4Key = 69.0;                   // MIDI key number of A4
constexpr double kOpmReferenceClock = 3579545.0;  // the clock at which the OPM's key code $4A plays 440 Hz

// Hundredths of a hertz, halves rounded up.
constexpr std::uint64_t Hundredths(const Frequency& f) {
  return (200 * f.numerator + f.denominator) / (2 * f.denominator);
}

// The MIDI key nearest to a fractional key number and the distance to it in cents, rounded half
// away from zero (so +12.5 and -12.5 mirror each other). Keys outside MIDI 0 to 127 have no name.
struct NearestNote {
  bool named = false;
  int key = 0;
  long cents = 0;
};

NearestNote Nearest(double key) {
  const double nearest = std::floor(key + 0.5);
  if (!(nearest >= 0.0 && nearest <= 127.0)) return {};
  return {true, static_cast<int>(nearest), std::lround(100.0 * (key - nearest))};
}

constexpr std::array<std::string_view, 12> kNoteNames = {"C", "C#", "D", "D#", "E", "F",
                                                         "F#", "G", "G#", "A", "A#", "B"};

// " => C4-1c 261.52Hz": the note in scientific pitch notation ("---" without a name) and the hundredths
// of a hertz. The common case (a named note, whole hertz that %d holds) is one Print: a note follows
// every pitch write of --notes.
void PrintPitch(ReportSink& out, double key, std::uint64_t hundredths) {
  const NearestNote note = Nearest(key);
  const std::uint64_t whole = hundredths / 100;
  const auto fraction = static_cast<int>(hundredths % 100);
  if (note.named && whole <= 0x7FFFFFFFu) {
    out.Print<" => %s%d%c%dc %d.%02dHz">(kNoteNames[static_cast<std::size_t>(note.key % 12)], note.key / 12 - 1,
                                         note.cents < 0 ? '-' : '+', std::labs(note.cents),
                                         static_cast<std::int32_t>(whole), fraction);
    return;
  }
  if (note.named) {
    out.Print<" => %s%d%c%dc">(kNoteNames[static_cast<std::size_t>(note.key % 12)], note.key / 12 - 1,
                               note.cents < 0 ? '-' : '+', std::labs(note.cents));
  } else {
    out.Print<" => ---">();
  }
  // The whole hertz are a 64-bit count: those past what %d holds (only a hostile clock gives them) go
  // out as text.
  if (whole <= 0x7FFFFFFFu) {
    out.Print<" %d.%02dHz">(static_cast<std::int32_t>(whole), fraction);
    return;
  }
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, whole);
  out.Print<" %s.%02dHz">(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)), fraction);
}

void PrintSilence(ReportSink& out) { out.Print<" => --- 0.00Hz">(); }

}  // namespace

double PitchHertz(const Pitch& pitch) {
  if (pitch.rule == Pitch::Rule::Opm) {
    return ClockUsable(pitch.clock) ? kA4Hertz * std::exp2(pitch.semitones / 12.0) * (pitch.clock / kOpmReferenceClock)
                                    : 0.0;
  }
  const Frequency& f = pitch.frequency;
  if (pitch.rule == Pitch::Rule::None || f.numerator == 0 || f.denominator == 0) return 0.0;
  return static_cast<double>(f.numerator) / static_cast<double>(f.denominator);
}

void WritePitch(ReportSink& out, const Pitch& pitch) {
  if (pitch.rule == Pitch::Rule::Opm) {
    // The OPM's pitch is exponential in its registers, so the key number is exact (it matters at
    // 50 cents) and the frequency is rounded from a double.
    if (!ClockUsable(pitch.clock)) {
      PrintSilence(out);
      return;
    }
    const double clockRatio = pitch.clock / kOpmReferenceClock;
    const double hertz = kA4Hertz * std::exp2(pitch.semitones / 12.0) * clockRatio;
    PrintPitch(out, kA4Key + pitch.semitones + 12.0 * std::log2(clockRatio),
               static_cast<std::uint64_t>(std::floor(hertz * 100.0 + 0.5)));
    return;
  }
  const Frequency& f = pitch.frequency;
  if (f.numerator == 0 || f.denominator == 0) {
    PrintSilence(out);
    return;
  }
  const double hertz = static_cast<double>(f.numerator) / static_cast<double>(f.denominator);
  PrintPitch(out, kA4Key + 12.0 * std::log2(hertz / kA4Hertz), Hundredths(f));
}

PitchTexts::PitchTexts() = default;
PitchTexts::~PitchTexts() = default;

void PitchTexts::Write(ReportSink& out, const Pitch& pitch) {
  const bool opm = pitch.rule == Pitch::Rule::Opm;
  const std::uint64_t a = opm ? std::bit_cast<std::uint64_t>(pitch.semitones) : pitch.frequency.numerator;
  const std::uint64_t b = opm ? static_cast<std::uint32_t>(pitch.clock) : pitch.frequency.denominator;
  if (!entries_) entries_ = std::make_unique<Entry[]>(2 * kSets);
  const std::uint64_t hash = (a * 0x9E3779B97F4A7C15u) ^ (b * 0xC2B2AE3D27D4EB4Fu) ^ static_cast<std::uint64_t>(pitch.rule);
  Entry* const set = &entries_[2 * ((hash >> 40) % kSets)];
  const auto matches = [&](const Entry& e) { return e.size != 0 && e.a == a && e.b == b && e.rule == pitch.rule; };
  Entry* found = nullptr;
  if (matches(set[0])) {
    found = &set[0];
  } else if (matches(set[1])) {
    std::swap(set[0], set[1]);
    found = &set[0];
  }
  if (found == nullptr) {
    set[1] = set[0];
    set[0] = Entry{a, b, pitch.rule, 0, {}};
    Make(out, pitch, set[0]);
    return;
  }
  out.AppendWith(kTextRoom, [found](char* to) {
    std::memcpy(to, found->text, kTextRoom);
    return to + found->size;
  });
}

void PitchTexts::Make(ReportSink& out, const Pitch& pitch, Entry& entry) {
  // The bounds of a text's Prints come to under 80 bytes (the longest: a note, then 20 digits of
  // hertz), so with this much room none of them hands the block on and the text stays readable.
  constexpr std::size_t kHold = 160;
  const char* mark = out.Hold(kHold);
  WritePitch(out, pitch);
  const std::string_view text = out.Since(mark);
  if (text.size() <= kTextRoom) {
    std::memcpy(entry.text, text.data(), text.size());
    entry.size = static_cast<std::uint8_t>(text.size());
  }
}

}  // namespace tavrin
