// JSON strings with UTF-8 repair, decimal integers, and doubles by Grisu2 with the cached powers of ten
// worked out by the compiler.
#include "core/json_text.h"

#include <algorithm>  // std::min
#include <array>
#include <bit>  // std::bit_cast, std::countl_zero
#include <cstring>  // std::memcpy, std::memmove, std::memset

#include "core/utf8.h"

namespace tavrin {

namespace {

// ---- strings ------------------------------------------------------------------------------------

// ASCII bytes that go into a JSON string as they are: not a control character, not '"', not '\\'.
constexpr std::array<bool, 128> kPlainAscii = [] {
  std::array<bool, 128> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

char* WriteControlEscape(char* out, unsigned char c) {
  *out++ = '\\';
  switch (c) {
    case '\b': *out++ = 'b'; return out;
    case '\t': *out++ = 't'; return out;
    case '\n': *out++ = 'n'; return out;
    case '\f': *out++ = 'f'; return out;
    case '\r': *out++ = 'r'; return out;
    case '"': *out++ = '"'; return out;
    case '\\': *out++ = '\\'; return out;
    default: break;
  }
  std::memcpy(out, "u00", 3);
  out[3] = "0123456789abcdef"[c >> 4];
  out[4] = "0123456789abcdef"[c & 15u];
  return out + 5;
}

// True when one of the 8 bytes of `word` needs more than a copy: a control character, '"', '\\', or a
// byte from 0x80 up. Each test is exact for "some byte" (a borrow only runs on above a byte that hit).
constexpr bool NeedsCare(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  const auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  const std::uint64_t control = (word - 0x20 * kOnes) & ~word & kHighs;
  return ((word & kHighs) | control | hasZero(word ^ ('"' * kOnes)) | hasZero(word ^ ('\\' * kOnes))) != 0;
}

// Escapes the code points (and malformed pieces) that begin before `stop`; a sequence begun there may
// read on up to `end`. Writes at most 6 bytes per byte taken.
char* EscapeUpTo(char* out, const unsigned char*& in, const unsigned char* stop, const unsigned char* end) {
  const unsigned char* p = in;
  // Plain ASCII, the usual text, goes eight bytes at a time. After such a word the last 8 bytes written
  // equal the last 8 read, so a tail of fewer than 8 can go as the last 8 bytes, overlapping.
  bool afterWord = false;
  while (p < stop) {
    std::uint64_t word;
    if (stop - p >= 8) {
      std::memcpy(&word, p, 8);
      if (!NeedsCare(word)) {
        std::memcpy(out, p, 8);
        out += 8;
        p += 8;
        afterWord = true;
        continue;
      }
    } else if (afterWord) {
      const auto tail = static_cast<std::size_t>(stop - p);
      std::memcpy(&word, stop - 8, 8);
      if (!NeedsCare(word)) {
        std::memcpy(out + tail - 8, stop - 8, 8);
        out += tail;
        p = stop;
        break;
      }
    }
    afterWord = false;
    const unsigned char b = *p;
    if (b < 0x80) {
      if (kPlainAscii[b]) {
        *out++ = static_cast<char>(b);
      } else {
        out = WriteControlEscape(out, b);
      }
      ++p;
      continue;
    }
    // A well-formed sequence goes as it is; each broken piece (its longest well-formed prefix) as one
    // U+FFFD.
    std::size_t taken = 1;
    const std::size_t length =
        Utf8SequenceLength({reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)}, taken);
    if (length != 0) {
      taken = length;
      std::memcpy(out, p, taken);
      out += taken;
    } else {
      std::memcpy(out, "\xEF\xBF\xBD", 3);
      out += 3;
    }
    p += taken;
  }
  in = p;
  return out;
}

// ---- integers -----------------------------------------------------------------------------------

int DecimalDigits(std::uint64_t value) {
  int digits = 1;
  // The limit wraps once digits reaches 20, and the loop has stopped by then.
  for (std::uint64_t limit = 10; digits < 20 && value >= limit; limit *= 10) ++digits;
  return digits;
}

// ---- doubles: Grisu2 --------------------------------------------------------------------------------
//
// v is scaled by a cached power of ten c so that the scaled value's binary exponent lies in
// [kAlpha, kGamma]; its integral part then fits 32 bits and its fraction 60 bits. The digits are cut
// from the scaled upper boundary of v's rounding interval, narrowed by one unit on each side for the
// error of the scaling, as soon as they lie inside that interval, and the last digit is then moved
// towards v while it stays inside.

// significand * 2^exponent
struct BinaryFloat {
  std::uint64_t significand = 0;
  int exponent = 0;
};

constexpr int kAlpha = -60;
constexpr int kGamma = -32;

// The upper 64 bits of the 128-bit product, rounded (half up).
BinaryFloat Multiply(BinaryFloat a, BinaryFloat b) {
  const std::uint64_t aLow = a.significand & 0xFFFFFFFFu;
  const std::uint64_t aHigh = a.significand >> 32;
  const std::uint64_t bLow = b.significand & 0xFFFFFFFFu;
  const std::uint64_t bHigh = b.significand >> 32;
  const std::uint64_t lowLow = aLow * bLow;
  const std::uint64_t lowHigh = aLow * bHigh;
  const std::uint64_t highLow = aHigh * bLow;
  const std::uint64_t highHigh = aHigh * bHigh;
  const std::uint64_t middle =
      (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu) + (std::uint64_t{1} << 31);
  return {highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32), a.exponent + b.exponent + 64};
}

// 10^decimalExponent ~ significand * 2^binaryExponent, the significand rounded to 64 bits.
struct CachedPower {
  std::uint64_t significand = 0;
  int binaryExponent = 0;
  int decimalExponent = 0;
};

constexpr int kFirstCachedPower = -300;
constexpr int kCachedPowerStep = 8;
constexpr std::size_t kCachedPowerCount = 79;  // 10^-300 ... 10^324

// An unsigned integer of up to 40 * 32 bits, for working out the cached powers at compile time.
struct WideInteger {
  std::array<std::uint32_t, 40> words{};  // least significant first

  constexpr void MultiplyBy(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& w : words) {
      const std::uint64_t product = std::uint64_t{w} * factor + carry;
      w = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
  }
  // Floor division; floor(floor(x / a) / b) == floor(x / (a * b)), so repeated division stays exact.
  constexpr void DivideBy(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = words.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | words[i];
      words[i] = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
  }
  constexpr int BitLength() const {
    for (std::size_t i = words.size(); i-- > 0;) {
      if (words[i] != 0) return static_cast<int>(i * 32) + 32 - std::countl_zero(words[i]);
    }
    return 0;
  }
  constexpr bool Bit(int index) const {
    return index >= 0 && ((words[static_cast<std::size_t>(index) / 32] >> (index % 32)) & 1u) != 0;
  }
  // value * 2^-scale rounded to 64 significant bits; the truncated bits below the rounding bit are
  // never all zero for a power of ten that needs rounding, so "half" never occurs.
  constexpr CachedPower Round(int scale, int decimalExponent) const {
    const int length = BitLength();
    std::uint64_t significand = 0;
    for (int i = 0; i < 64; ++i) significand = (significand << 1) | (Bit(length - 1 - i) ? 1u : 0u);
    int exponent = length - 64 - scale;
    if (Bit(length - 65)) {
      ++significand;
      if (significand == 0) {
        significand = std::uint64_t{1} << 63;
        ++exponent;
      }
    }
    return {significand, exponent, decimalExponent};
  }
};

constexpr std::array<CachedPower, kCachedPowerCount> kCachedPowers = [] {
  std::array<CachedPower, kCachedPowerCount> powers{};
  // The first power at or above 10^0 is 10^4 (the table steps by 8 from 10^-300).
  constexpr std::size_t kFirstPositive = 38;
  WideInteger up;
  up.words[0] = 10000;
  for (std::size_t i = kFirstPositive; i < kCachedPowerCount; ++i) {
    powers[i] = up.Round(0, kFirstCachedPower + kCachedPowerStep * static_cast<int>(i));
    up.MultiplyBy(100000000);
  }
  // Below 1: floor(2^1100 / 10^k), which keeps more than 64 significant bits down to 10^-300.
  constexpr int kScale = 1100;
  WideInteger down;
  down.words[kScale / 32] = std::uint32_t{1} << (kScale % 32);
  down.DivideBy(10000);
  for (std::size_t i = kFirstPositive; i-- > 0;) {
    powers[i] = down.Round(kScale, kFirstCachedPower + kCachedPowerStep * static_cast<int>(i));
    down.DivideBy(100000000);
  }
  return powers;
}();

static_assert(kCachedPowers[38].significand == 0x9C40000000000000u && kCachedPowers[38].binaryExponent == -50);

// The cached power c with kAlpha <= e_c + binaryExponent + 64 <= kGamma: the smallest decimal
// exponent k of the table with k >= ceil((kAlpha - binaryExponent - 1) * log10(2)).
CachedPower CachedPowerFor(int binaryExponent) {
  const int scaled = kAlpha - binaryExponent - 1;
  // 78913 / 2^18 is log10(2) to 6 digits; the division truncates, which rounds up for negative values.
  const int k = (scaled * 78913) / (1 << 18) + (scaled > 0 ? 1 : 0);
  const int index = (k - kFirstCachedPower + kCachedPowerStep - 1) / kCachedPowerStep;
  return kCachedPowers[static_cast<std::size_t>(index)];
}

// Moves the last digit down while the number stays inside the interval (rest <= delta) and gets closer
// to v, which lies `distance` below the upper boundary; `unit` is one step of the last digit.
void Nudge(char* digits, int count, std::uint64_t distance, std::uint64_t delta, std::uint64_t rest,
           std::uint64_t unit) {
  while (rest < distance && delta - rest >= unit &&
         (rest + unit < distance || distance - rest > rest + unit - distance)) {
    --digits[count - 1];
    rest += unit;
  }
}

// Shortest digits of a positive finite double inside its (narrowed) rounding interval:
// value = digits * 10^decimalExponent. Returns the digit count.
int Grisu2(char* digits, int& decimalExponent, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const int biased = static_cast<int>(bits >> 52);
  BinaryFloat v = biased == 0 ? BinaryFloat{fraction, -1074}
                              : BinaryFloat{fraction | (std::uint64_t{1} << 52), biased - 1075};
  // The interval's boundaries lie halfway to the neighbouring doubles; below a power of two the lower
  // neighbour is half as far.
  BinaryFloat upper{2 * v.significand + 1, v.exponent - 1};
  BinaryFloat lower = fraction == 0 && biased > 1 ? BinaryFloat{4 * v.significand - 1, v.exponent - 2}
                                                  : BinaryFloat{2 * v.significand - 1, v.exponent - 1};
  const int upperShift = std::countl_zero(upper.significand);
  upper = {upper.significand << upperShift, upper.exponent - upperShift};
  lower = {lower.significand << (lower.exponent - upper.exponent), upper.exponent};
  const int vShift = std::countl_zero(v.significand);
  v = {v.significand << vShift, v.exponent - vShift};

  const CachedPower cached = CachedPowerFor(upper.exponent);
  const BinaryFloat c{cached.significand, cached.binaryExponent};
  const BinaryFloat scaledV = Multiply(v, c);
  const BinaryFloat scaledLower = Multiply(lower, c);
  BinaryFloat scaledUpper = Multiply(upper, c);
  // One unit of error in each product: keep only what is surely inside.
  const std::uint64_t low = scaledLower.significand + 1;
  scaledUpper.significand -= 1;
  decimalExponent = -cached.decimalExponent;

  const int shift = -scaledUpper.exponent;  // 32 ... 60
  const std::uint64_t one = std::uint64_t{1} << shift;
  std::uint64_t delta = scaledUpper.significand - low;
  std::uint64_t distance = scaledUpper.significand - scaledV.significand;
  auto integral = static_cast<std::uint32_t>(scaledUpper.significand >> shift);
  std::uint64_t fractional = scaledUpper.significand & (one - 1);

  int count = 0;
  std::uint32_t power = 1;
  int remaining = 1;
  while (power <= integral / 10) {
    power *= 10;
    ++remaining;
  }
  while (remaining > 0) {
    digits[count++] = static_cast<char>('0' + integral / power);
    integral %= power;
    --remaining;
    const std::uint64_t rest = (std::uint64_t{integral} << shift) + fractional;
    if (rest <= delta) {
      decimalExponent += remaining;
      Nudge(digits, count, distance, delta, rest, std::uint64_t{power} << shift);
      return count;
    }
    power /= 10;
  }
  for (;;) {
    fractional *= 10;
    delta *= 10;
    distance *= 10;
    digits[count++] = static_cast<char>('0' + (fractional >> shift));
    fractional &= one - 1;
    --decimalExponent;
    if (fractional <= delta) break;
  }
  Nudge(digits, count, distance, delta, fractional, one);
  return count;
}

// "e+05", "e-308": the sign always, at least two digits.
char* WriteExponent(char* out, int exponent) {
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  auto magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  if (magnitude >= 100) {
    *out++ = static_cast<char>('0' + magnitude / 100);
    magnitude %= 100;
  }
  *out++ = static_cast<char>('0' + magnitude / 10);
  *out++ = static_cast<char>('0' + magnitude % 10);
  return out;
}

}  // namespace

char* WriteJsonUnsigned(char* out, std::uint64_t value) {
  const int digits = DecimalDigits(value);
  format_detail::WriteDigitsBefore(out + digits, value);
  return out + digits;
}

char* WriteJsonInteger(char* out, std::int64_t value) {
  if (value >= 0) return WriteJsonUnsigned(out, static_cast<std::uint64_t>(value));
  *out++ = '-';
  // Negated in unsigned arithmetic, so INT64_MIN needs no special case.
  return WriteJsonUnsigned(out, 0u - static_cast<std::uint64_t>(value));
}

char* WriteJsonDouble(char* out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (((bits >> 52) & 0x7FF) == 0x7FF) {  // NaN and the infinities
    std::memcpy(out, "null", 4);
    return out + 4;
  }
  if (bits >> 63) *out++ = '-';
  if ((bits << 1) == 0) {
    std::memcpy(out, "0.0", 3);
    return out + 3;
  }
  int exponent = 0;
  const int count = Grisu2(out, exponent, std::bit_cast<double>(bits & ~(std::uint64_t{1} << 63)));
  // The digits stand at `out`; the point goes after the first `point` of them.
  const int point = count + exponent;
  if (count <= point && point <= 15) {  // a whole number: pad with zeros, then ".0"
    std::memset(out + count, '0', static_cast<std::size_t>(point - count));
    std::memcpy(out + point, ".0", 2);
    return out + point + 2;
  }
  if (point > 0 && point <= 15) {  // 123.45
    std::memmove(out + point + 1, out + point, static_cast<std::size_t>(count - point));
    out[point] = '.';
    return out + count + 1;
  }
  if (point > -4 && point <= 0) {  // 0.00012345
    const auto zeros = static_cast<std::size_t>(-point);
    std::memmove(out + 2 + zeros, out, static_cast<std::size_t>(count));
    std::memcpy(out, "0.", 2);
    std::memset(out + 2, '0', zeros);
    return out + 2 + zeros + count;
  }
  // 1.2345e+21, 1e-05
  if (count > 1) {
    std::memmove(out + 2, out + 1, static_cast<std::size_t>(count - 1));
    out[1] = '.';
    out += count + 1;
  } else {
    out += 1;
  }
  return WriteExponent(out, point - 1);
}

void AppendJsonString(ReportSink& out, std::string_view text) {
  // Long text goes in pieces, so the room asked of the sink (6 bytes out per byte in at most) stays small.
  constexpr std::size_t kPiece = 4096;
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = in + text.size();
  if (text.size() <= kPiece) {
    out.AppendWith(6 * text.size() + 2, [&](char* p) {
      *p++ = '"';
      p = EscapeUpTo(p, in, end, end);
      *p++ = '"';
      return p;
    });
    return;
  }
  bool first = true;
  do {
    const std::size_t piece = std::min<std::size_t>(static_cast<std::size_t>(end - in), kPiece);
    out.AppendWith(6 * piece + 2, [&](char* p) {
      if (first) *p++ = '"';
      p = EscapeUpTo(p, in, in + piece, end);
      if (in == end) *p++ = '"';
      return p;
    });
    first = false;
  } while (in != end);
}

}  // namespace tavrin
