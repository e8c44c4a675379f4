// Note names and frequencies: the nearest note and its cents, the hertz rounded to hundredths.
#include "chips/pitch.h"

#include <array>
#include <bit>
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
  // From 0 up, floor is the truncation.
  const double up = key + 0.5;
  if (!(up >= 0.0 && up < 128.0)) return {};
  const int nearest = static_cast<int>(up);
  // |cents| <= 50: the part cut off by truncation is exact, so the half is seen exactly. Which way it
  // rounds changes from one pitch to the next, so it is added, not branched on.
  const double cents = 100.0 * (key - nearest);
  const int whole = static_cast<int>(cents);
  const double rest = cents - whole;
  return {true, nearest, whole + static_cast<int>(rest >= 0.5) - static_cast<int>(rest <= -0.5)};
}

// "C-1" to "G9": MIDI keys in scientific pitch notation, four characters (zeros after a shorter name)
// and the name's length, so a name is one 4-byte copy.
struct KeyNameText {
  std::array<char, 4> text;
  std::uint8_t size;
};
constexpr std::array<KeyNameText, 128> kKeyNames = [] {
  constexpr std::array<std::string_view, 12> names = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  std::array<KeyNameText, 128> table{};
  for (int key = 0; key < 128; ++key) {
    auto& name = table[static_cast<std::size_t>(key)];
    std::size_t n = 0;
    for (const char c : names[static_cast<std::size_t>(key % 12)]) name.text[n++] = c;
    const int octave = key / 12 - 1;
    if (octave < 0) name.text[n++] = '-';
    name.text[n++] = static_cast<char>('0' + (octave < 0 ? -octave : octave));
    name.size = static_cast<std::uint8_t>(n);
  }
  return table;
}();

// What FormatNamedPitch may write: " => C#-1+50c " (14 characters at most), then 8 bytes of hertz
// digits, of which six and ".99Hz" may stay.
constexpr std::size_t kNamedPitchBound = 14 + 6 + 5;

// A named note lies below 12.6 kHz (G9 and 50 cents): its whole hertz have six places at most.
constexpr std::uint64_t kNamedWholeLimit = 1000000;

// " => C4-1c 261.52Hz" for a named note (whole hertz below kNamedWholeLimit), written at `to` without
// the formatter's field machinery (it runs once for every new pitch of --notes); returns the end.
// Nothing in it branches on the note or the hertz, which change from one pitch to the next: every copy
// has a fixed size and lands inside the bound, and later characters overwrite what a short name,
// one-digit cents or a short number wrote past their end.
char* FormatNamedPitch(char* to, const NearestNote& note, std::uint32_t whole, unsigned fraction) {
  std::memcpy(to, " => ", 4);
  const KeyNameText& name = kKeyNames[static_cast<std::size_t>(note.key)];
  std::memcpy(to + 4, name.text.data(), 4);
  to += 4 + name.size;
  // The sign as a mask, all ones below zero; '-' is '+' + 2.
  const unsigned sign = 0u - static_cast<unsigned>(note.cents < 0);
  const unsigned cents = (static_cast<unsigned>(note.cents) ^ sign) - sign;
  *to = static_cast<char>('+' + (sign & 2u));
  // Below 10 the pair's second character alone: "07" + 1 is "7".
  const unsigned oneDigit = cents < 10 ? 1u : 0u;
  std::memcpy(to + 1, &format_detail::kDecimalPairs[2 * cents + oneDigit], 2);
  to += 3 - oneDigit;
  std::memcpy(to, "c ", 2);
  to += 2;
  // The six places of the whole hertz by pairs into one word, first place in the lowest byte; the
  // leading zeros shift out, and the word goes out whole.
  static_assert(std::endian::native == std::endian::little);
  const auto pair = [](std::uint32_t value) {
    std::uint16_t two = 0;
    std::memcpy(&two, &format_detail::kDecimalPairs[2 * value], 2);
    return std::uint64_t{two};
  };
  const std::size_t digits = format_detail::DecimalDigitCount(whole);
  const std::uint64_t places =
      (pair(whole / 10000) | pair(whole / 100 % 100) << 16 | pair(whole % 100) << 32) >> (8 * (6 - digits));
  std::memcpy(to, &places, 8);
  to += digits;
  *to = '.';
  std::memcpy(to + 1, &format_detail::kDecimalPairs[2 * fraction], 2);
  std::memcpy(to + 3, "Hz", 2);
  return to + 5;
}

// PrintPitch for a note without a name (or hertz past kNamedWholeLimit, which a named note never has),
// through the general Prints: kept out of line, so the common case saves no registers for them.
[[gnu::noinline]] void PrintOtherPitch(ReportSink& out, const NearestNote& note, std::uint64_t whole, int fraction) {
  if (note.named) {
    const KeyNameText& name = kKeyNames[static_cast<std::size_t>(note.key)];
    out.Print<" => %s%c%dc">(std::string_view(name.text.data(), name.size), note.cents < 0 ? '-' : '+',
                             std::abs(note.cents));
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

// " => C4-1c 261.52Hz": the note ("---" without a name) and the hundredths of a hertz.
void PrintPitch(ReportSink& out, double key, std::uint64_t hundredths) {
  const NearestNote note = Nearest(key);
  const std::uint64_t whole = hundredths / 100;
  const auto fraction = static_cast<int>(hundredths % 100);
  if (!note.named || whole >= kNamedWholeLimit) {
    PrintOtherPitch(out, note, whole, fraction);
    return;
  }
  out.AppendWith(kNamedPitchBound, [&](char* to) {
    return FormatNamedPitch(to, note, static_cast<std::uint32_t>(whole), static_cast<unsigned>(fraction));
  });
}

void PrintSilence(ReportSink& out) { out.Print<" => --- 0.00Hz">(); }

// Every rule's numerator and denominator stay far below 2^63, where converting is one instruction (an
// unsigned 64-bit value takes a test and two ways).
double ToDouble(std::uint64_t value) {
  return value >> 63 == 0 ? static_cast<double>(static_cast<std::int64_t>(value)) : static_cast<double>(value);
}

// The fractional MIDI key of a pitch and its hundredths of a hertz; false for silence.
bool PitchParts(const Pitch& pitch, double& key, std::uint64_t& hundredths) {
  if (pitch.rule == Pitch::Rule::Opm) {
    // The OPM's pitch is exponential in its registers, so the key number is exact (it matters at
    // 50 cents) and the frequency is rounded from a double.
    if (!ClockUsable(pitch.clock)) return false;
    const double clockRatio = pitch.clock / kOpmReferenceClock;
    const double hertz = kA4Hertz * std::exp2(pitch.semitones / 12.0) * clockRatio;
    key = kA4Key + pitch.semitones + 12.0 * std::log2(clockRatio);
    hundredths = static_cast<std::uint64_t>(std::floor(hertz * 100.0 + 0.5));
    return true;
  }
  const Frequency& f = pitch.frequency;
  if (f.numerator == 0 || f.denominator == 0) return false;
  const double hertz = ToDouble(f.numerator) / ToDouble(f.denominator);
  key = kA4Key + 12.0 * std::log2(hertz / kA4Hertz);
  hundredths = Hundredths(f);
  return true;
}

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
  double key = 0.0;
  std::uint64_t hundredths = 0;
  if (!PitchParts(pitch, key, hundredths)) {
    PrintSilence(out);
    return;
  }
  PrintPitch(out, key, hundredths);
}

void PitchTexts::MakeEntries() { entries_ = std::make_unique<Entry[]>(2 * kSets); }

void PitchTexts::WriteOther(ReportSink& out, const Pitch& pitch, const Key& key, Entry* set) {
  const Entry& other = set[1];
  if (other.size != 0 && other.a == key.a && other.b == key.b && other.rule == key.rule) {
    std::swap(set[0], set[1]);
    Copy(out, set[0]);
    ++found_;
    return;
  }
  set[1] = set[0];
  set[0] = Entry{{}, key.rule, 0, key.a, key.b};
  Make(out, pitch, set[0]);
}

void PitchTexts::Review() {
  if (found_ < kProbe / 8) skip_ = kSkip;
  probe_ = kProbe;
  found_ = 0;
}

void PitchTexts::Make(ReportSink& out, const Pitch& pitch, Entry& entry) {
  // The bounds of a text's Prints come to under 80 bytes (the longest: a note, then 20 digits of
  // hertz), so with this much room none of them hands the block on and the text stays readable; the
  // room also lets the entry take a whole kTextRoom bytes in one fixed-size copy.
  constexpr std::size_t kHold = 160;
  static_assert(kTextRoom <= kHold);
  const char* mark = out.Hold(kHold);
  WritePitch(out, pitch);
  const std::string_view text = out.Since(mark);
  if (text.size() <= kTextRoom) {
    std::memcpy(entry.text, mark, kTextRoom);
    entry.size = static_cast<std::uint8_t>(text.size());
  }
}

}  // namespace tavrin
