// Note names and frequencies: the nearest note and its cents, the hertz rounded to hundredths.
#include "chips/pitch.h"

#include <array>
#include <charconv>  // std::to_chars
#include <cmath>
#include <cstdlib>  // std::labs
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

// "C4-1c": the MIDI key nearest to the fractional key number, its octave in scientific pitch
// notation, and the distance in cents rounded half away from zero (so +12.5 and -12.5 mirror each
// other). Keys outside MIDI 0 to 127 have no name here: "---".
void PrintNote(ReportSink& out, double key) {
  static constexpr std::array<const char*, 12> kNoteNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                             "F#", "G",  "G#", "A",  "A#", "B"};
  const double nearest = std::floor(key + 0.5);
  if (!(nearest >= 0.0 && nearest <= 127.0)) {
    out.Print<"---">();
    return;
  }
  const int note = static_cast<int>(nearest);
  const long cents = std::lround(100.0 * (key - nearest));
  out.Print<"%s%d%c%dc">(kNoteNames[static_cast<std::size_t>(note % 12)], note / 12 - 1,
                         cents < 0 ? '-' : '+', std::labs(cents));
}

// " 440.40Hz" from hundredths of a hertz. The whole hertz are a 64-bit count: those past what %d
// holds (only a hostile clock gives them) go out as text.
void PrintHertz(ReportSink& out, std::uint64_t hundredths) {
  const std::uint64_t whole = hundredths / 100;
  const auto cents = static_cast<int>(hundredths % 100);
  if (whole <= 0x7FFFFFFFu) {
    out.Print<" %d.%02dHz">(static_cast<std::int32_t>(whole), cents);
    return;
  }
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, whole);
  out.Print<" %s.%02dHz">(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)), cents);
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
    out.Print<" => ">();
    PrintNote(out, kA4Key + pitch.semitones + 12.0 * std::log2(clockRatio));
    PrintHertz(out, static_cast<std::uint64_t>(std::floor(hertz * 100.0 + 0.5)));
    return;
  }
  const Frequency& f = pitch.frequency;
  if (f.numerator == 0 || f.denominator == 0) {
    PrintSilence(out);
    return;
  }
  const double hertz = static_cast<double>(f.numerator) / static_cast<double>(f.denominator);
  out.Print<" => ">();
  PrintNote(out, kA4Key + 12.0 * std::log2(hertz / kA4Hertz));
  PrintHertz(out, Hundredths(f));
}

}  // namespace tavrin
