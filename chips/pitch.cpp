// Note names and frequencies: the nearest note and its cents, the hertz rounded to hundredths.
#include "chips/pitch.h"

#include <array>
#include <charconv>  // std::to_chars
#include <cmath>
#include <cstdlib>  // std::abs
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
  int cents = 0;
};

NearestNote Nearest(double key) {
  const double nearest = std::floor(key + 0.5);
  if (!(nearest >= 0.0 && nearest <= 127.0)) return {};
  // |cents| <= 50: the part cut off by truncation is exact, so the half is seen exactly.
  const double cents = 100.0 * (key - nearest);
  int whole = static_cast<int>(cents);
  const double rest = cents - whole;
  if (rest >= 0.5) ++whole;
  if (rest <= -0.5) --whole;
  return {true, static_cast<int>(nearest), whole};
}

// "C-1" to "G9": MIDI keys in scientific pitch notation.
constexpr std::array<std::array<char, 4>, 128> kKeyNames = [] {
  constexpr std::array<std::string_view, 12> names = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  std::array<std::array<char, 4>, 128> table{};
  for (int key = 0; key < 128; ++key) {
    auto& text = table[static_cast<std::size_t>(key)];
    std::size_t n = 0;
    for (const char c : names[static_cast<std::size_t>(key % 12)]) text[n++] = c;
    const int octave = key / 12 - 1;
    if (octave < 0) text[n++] = '-';
    text[n] = static_cast<char>('0' + (octave < 0 ? -octave : octave));
  }
  return table;
}();

std::string_view KeyName(int key) {
  const auto& text = kKeyNames[static_cast<std::size_t>(key)];
  return {text.data(), text[3] != 0 ? 4u : text[2] != 0 ? 3u : 2u};
}

// " => C4-1c 261.52Hz": the note ("---" without a name) and the hundredths of a hertz. The common case
// (a named note, whole hertz that %d holds) is one Print.
void PrintPitch(ReportSink& out, double key, std::uint64_t hundredths) {
  const NearestNote note = Nearest(key);
  const std::uint64_t whole = hundredths / 100;
  const auto fraction = static_cast<int>(hundredths % 100);
  if (note.named && whole <= 0x7FFFFFFFu) {
    out.Print<" => %s%c%dc %d.%02dHz">(KeyName(note.key), note.cents < 0 ? '-' : '+', std::abs(note.cents),
                                       static_cast<std::int32_t>(whole), fraction);
    return;
  }
  if (note.named) {
    out.Print<" => %s%c%dc">(KeyName(note.key), note.cents < 0 ? '-' : '+', std::abs(note.cents));
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

void PitchTexts::MakeEntries() { entries_ = std::make_unique<Entry[]>(2 * kSets); }

void PitchTexts::WriteOther(ReportSink& out, const Pitch& pitch, const Key& key, Entry* set) {
  const Entry& other = set[1];
  if (other.size != 0 && other.a == key.a && other.b == key.b && other.rule == key.rule) {
    std::swap(set[0], set[1]);
    Copy(out, set[0]);
    return;
  }
  set[1] = set[0];
  set[0] = Entry{{}, key.rule, 0, key.a, key.b};
  Make(out, pitch, set[0]);
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
