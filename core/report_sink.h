// The open report of one conversion: printf-style formats parsed at compile time into a block buffer.
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tavrin {

// How much report text a ReportSink gathers before it hands it on. 512 KiB: the kernel's cost per
// write(2) made 128 KiB blocks a fifth slower to write, and blocks this size still pass between the
// formatter and a writer thread without waiting.
inline constexpr std::size_t kReportBlockSize = 512 * 1024;

class ReportSink;

// A piece of a report whose text a sink leaves to be made when its block is passed on: where in the
// block it goes, and the value it is made from (a trivially copyable value, copied in whole).
struct DeferredPiece {
  static constexpr std::size_t kRoom = 40;
  std::size_t at = 0;  // bytes of the block before it
  alignas(8) std::array<unsigned char, kRoom> value{};
};

// Makes the text of deferred pieces. A maker is used by one thread at a time: the one passing blocks on.
class PieceMaker {
 public:
  virtual ~PieceMaker() = default;
  virtual void Make(ReportSink& out, const DeferredPiece& piece) = 0;
};

// Where finished blocks of report text go: a file, a pipe, a string in memory.
class ReportTarget {
 public:
  virtual ~ReportTarget() = default;
  // Takes the whole block or reports failure; never called with an empty block.
  virtual bool Write(const char* data, std::size_t size) = 0;
  // The same for a sink's own block (kReportBlockSize bytes of room, `size` of them used). A target that
  // writes later (on a thread) keeps the block itself and leaves an empty one of the same room in its
  // place, which saves copying it; the others write it and leave it.
  virtual bool TakeBlock(std::unique_ptr<char[]>& block, std::size_t size) { return Write(block.get(), size); }

  // Whether this target makes deferred pieces itself (on a thread of its own): only then does a sink
  // leave any to it.
  virtual bool TakesPieces() const { return false; }
  // A sink's block (of `room` bytes, `size` used) with the pieces it left, in order, and their maker.
  // Takes what it keeps: a target that writes later leaves an empty block and an empty list in place.
  virtual bool TakeBlockWithPieces(std::unique_ptr<char[]>& block, std::size_t room, std::size_t size,
                                   std::vector<DeferredPiece>& pieces, const std::shared_ptr<PieceMaker>& maker);
};

// Writes the `size` bytes of `block` to `out` with the text of each piece made at its place.
void WriteWithPieces(ReportSink& out, const char* block, std::size_t size, const std::vector<DeferredPiece>& pieces,
                     PieceMaker& maker);

// Collects the report in memory (tests, fuzzing, benchmarks).
class StringTarget final : public ReportTarget {
 public:
  bool Write(const char* data, std::size_t size) override {
    text.append(data, size);
    return true;
  }
  std::string text;
};

// A format string usable as a template argument, so it is parsed by the compiler, not at run time.
template <std::size_t N>
struct FormatText {
  char chars[N]{};
  constexpr FormatText(const char (&text)[N]) {  // NOLINT: implicit on purpose, from a literal
    for (std::size_t i = 0; i < N; ++i) chars[i] = text[i];
  }
  constexpr std::string_view View() const { return {chars, N - 1}; }
};

namespace format_detail {

// One conversion: %[-][0][width](d|x|c|s|f).
struct Field {
  char conversion = 0;
  bool leftAlign = false;
  bool zeroPad = false;
  int width = 0;
};

// Literal i runs [literalBegin[i], literalEnd[i]) and precedes field i; the last literal ends the text.
template <std::size_t FieldCount>
struct Parsed {
  std::array<std::size_t, FieldCount + 1> literalBegin{};
  std::array<std::size_t, FieldCount + 1> literalEnd{};
  std::array<Field, FieldCount> fields{};
};

// Throwing inside a constant evaluation turns a bad format into a compile error.
constexpr std::size_t CountFields(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    ++i;
    while (i < text.size() && (text[i] == '-' || text[i] == '0')) ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == text.size()) throw "format ends inside a conversion";
    const char c = text[i];
    if (c != 'd' && c != 'x' && c != 'c' && c != 's' && c != 'f') throw "unsupported conversion";
    ++count;
  }
  return count;
}

template <FormatText F>
constexpr auto Parse() {
  constexpr std::string_view text = F.View();
  constexpr std::size_t count = CountFields(text);
  Parsed<count> parsed{};
  std::size_t field = 0;
  std::size_t literalStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    parsed.literalBegin[field] = literalStart;
    parsed.literalEnd[field] = i;
    Field spec{};
    ++i;
    for (; text[i] == '-' || text[i] == '0'; ++i) {
      if (text[i] == '-') spec.leftAlign = true;
      if (text[i] == '0') spec.zeroPad = true;
    }
    for (; text[i] >= '0' && text[i] <= '9'; ++i) spec.width = spec.width * 10 + (text[i] - '0');
    spec.conversion = text[i];
    parsed.fields[field++] = spec;
    literalStart = i + 1;
  }
  parsed.literalBegin[count] = literalStart;
  parsed.literalEnd[count] = text.size();
  return parsed;
}

template <FormatText F>
inline constexpr auto kParsed = Parse<F>();

// Two characters per table look-up: "00" to "99", and "00" to "ff".
inline constexpr std::array<char, 200> kDecimalPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();
inline constexpr std::array<char, 512> kHexPairs = [] {
  std::array<char, 512> pairs{};
  for (int i = 0; i < 256; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = "0123456789abcdef"[i >> 4];
    pairs[static_cast<std::size_t>(2 * i + 1)] = "0123456789abcdef"[i & 15];
  }
  return pairs;
}();

// The decimal digits of `value` written leftwards from `end`, two per table look-up; the caller knows
// how many there are.
template <typename Unsigned>
inline void WriteDigitsBefore(char* end, Unsigned value) {
  while (value >= 100) {
    end -= 2;
    std::memcpy(end, &kDecimalPairs[2 * (value % 100)], 2);
    value /= 100;
  }
  if (value >= 10) {
    std::memcpy(end - 2, &kDecimalPairs[2 * value], 2);
  } else {
    end[-1] = static_cast<char>('0' + value);
  }
}

// Decimal digits of `value`: floor(log10) from the bit length (1233 / 4096 ~ log10(2)), then one
// comparison to settle it.
inline std::size_t DecimalDigitCount(std::uint32_t value) {
  static constexpr std::uint32_t kPowers[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                                100000000, 1000000000};
  const std::uint32_t atLeastOne = value | 1u;
  const auto estimate = static_cast<std::size_t>((std::bit_width(atLeastOne) * 1233) >> 12);
  return estimate + (atLeastOne >= kPowers[estimate] ? 1 : 0);
}

// Longest text a field can produce, strings aside (they add their own length at run time).
constexpr std::size_t FieldBound(const Field& f) {
  std::size_t natural = 0;
  switch (f.conversion) {
    case 'd': natural = 11; break;  // "-2147483648"
    case 'x': natural = 8; break;
    case 'c': natural = 1; break;
    case 'f': natural = 330; break;  // %f of the largest double
    default: natural = 0; break;
  }
  return natural > static_cast<std::size_t>(f.width) ? natural : static_cast<std::size_t>(f.width);
}

template <std::size_t N>
constexpr std::size_t StaticBound(const Parsed<N>& p) {
  std::size_t total = 0;
  for (std::size_t i = 0; i <= N; ++i) total += p.literalEnd[i] - p.literalBegin[i];
  for (std::size_t i = 0; i < N; ++i) total += FieldBound(p.fields[i]);
  return total;
}

template <typename T>
constexpr std::size_t DynamicLength(const Field& f, const T& arg) {
  if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return f.conversion == 's' ? std::string_view(arg).size() : 0;
  } else {
    return 0;
  }
}

}  // namespace format_detail

class ReportSink {
 public:
  static constexpr std::size_t kBlockSize = kReportBlockSize;

  // `blockSize` is how much text gathers before the target gets it. A sink for a few words takes a
  // small block: the report's block is a large allocation, dear when made per note (the block grows to
  // fit any one Print all the same).
  explicit ReportSink(ReportTarget& target, std::size_t blockSize = kBlockSize);
  ReportSink(const ReportSink&) = delete;
  ReportSink& operator=(const ReportSink&) = delete;

  // out.Print<"FM#%d (slot%d) TL=%3d">(ch, slot, tl): exactly what printf would write. Everything about
  // the format is settled at compile time; only the fields' digits are worked out at run time.
  template <FormatText F, typename... Args>
  [[gnu::always_inline]] inline void Print(const Args&... args) {
    constexpr auto& parsed = format_detail::kParsed<F>;
    static_assert(parsed.fields.size() == sizeof...(Args), "argument count does not match the format");
    std::size_t bound = format_detail::StaticBound(parsed);
    if constexpr (sizeof...(Args) > 0) {
      bound += EachDynamicLength<F>(std::index_sequence_for<Args...>{}, args...);
    }
    char* out = Reserve(bound);
    if constexpr (sizeof...(Args) > 0) {
      out = EmitFields<F>(out, std::index_sequence_for<Args...>{}, args...);
    }
    out = CopyLiteral<F, parsed.fields.size()>(out);
    cursor_ = out;
  }

  // Text taken as it stands, no conversions.
  void Append(std::string_view text);

  // For writers of their own (JSON text): `write(out)` gets room for `bound` bytes, fills some of it and
  // returns where it stopped.
  template <typename Writer>
  void AppendWith(std::size_t bound, Writer&& write) {
    char* out = Reserve(bound);
    cursor_ = write(out);
  }

  // Room for `bound` bytes from here on: what the next Prints write (their bounds summing to no more)
  // stays in the block, and Since(mark) reads it back.
  const char* Hold(std::size_t bound) { return Reserve(bound); }
  std::string_view Since(const char* mark) const { return {mark, static_cast<std::size_t>(cursor_ - mark)}; }

  // Pieces left to the target (only where CanDefer): their text is made, by `maker`, when the block is
  // passed on, on the target's thread; what is written stays the same bytes. The pieces of a block
  // share one maker: a piece of another hands those before it on first.
  bool CanDefer() const { return defers_; }
  template <typename T>
  void Defer(const std::shared_ptr<PieceMaker>& maker, const T& value) {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= DeferredPiece::kRoom);
    if (maker != maker_) DeferTo(maker);
    DeferredPiece& piece = pieces_.emplace_back();
    piece.at = Used();
    std::memcpy(piece.value.data(), &value, sizeof(T));
  }

  // Hands everything buffered to the target; false once any write has failed.
  bool Flush();
  bool Failed() const { return failed_; }
  // The bytes passed on or buffered so far, deferred pieces not counted.
  std::uint64_t BytesWritten() const { return flushedBytes_ + Used(); }

 private:
  char* Reserve(std::size_t bound) {
    if (static_cast<std::size_t>(end_ - cursor_) < bound) MakeRoom(bound);
    return cursor_;
  }
  void MakeRoom(std::size_t bound);
  void DeferTo(const std::shared_ptr<PieceMaker>& maker);

  template <FormatText F, std::size_t I>
  static char* CopyLiteral(char* out) {
    constexpr auto& parsed = format_detail::kParsed<F>;
    constexpr std::size_t size = parsed.literalEnd[I] - parsed.literalBegin[I];
    if constexpr (size > 0) std::memcpy(out, F.chars + parsed.literalBegin[I], size);
    return out + size;
  }

  // The start of a field of `count` digits in the format's width: blanks when right-aligned, the sign,
  // zeros for '0'. Returns where the digits go; `trailing` is what a left-aligned field owes after them.
  template <format_detail::Field f>
  static char* PlaceLead(char* out, bool negative, std::size_t count, std::size_t& trailing) {
    const std::size_t length = count + (negative ? 1 : 0);
    const std::size_t width = static_cast<std::size_t>(f.width);
    std::size_t fill = width > length ? width - length : 0;
    if constexpr (!f.leftAlign && !f.zeroPad) {
      for (; fill > 0; --fill) *out++ = ' ';
    }
    if (negative) *out++ = '-';
    if constexpr (f.zeroPad && !f.leftAlign) {
      for (; fill > 0; --fill) *out++ = '0';
    }
    trailing = fill;
    return out;
  }

  static char* Blanks(char* out, std::size_t count) {
    for (; count > 0; --count) *out++ = ' ';
    return out;
  }

  // Lays out sign and digits in a field of the format's width: right-aligned with blanks, with zeros
  // after the sign for '0', or left-aligned for '-'.
  template <format_detail::Field f>
  static char* Place(char* out, bool negative, const char* digits, std::size_t count) {
    std::size_t trailing = 0;
    out = PlaceLead<f>(out, negative, count, trailing);
    for (std::size_t i = 0; i < count; ++i) *out++ = digits[i];
    return Blanks(out, trailing);
  }

  // Exactly `width` digits of `value` (which must fit them), two per table look-up; pair I (from the
  // right) does not wait for pair I-1.
  template <int width, bool hex>
  static char* EmitFixedDigits(char* out, std::uint32_t value) {
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      if constexpr (hex) {
        (std::memcpy(out + width - 2 * (I + 1), &format_detail::kHexPairs[2 * ((value >> (8 * I)) & 0xFFu)], 2), ...);
      } else {
        (std::memcpy(out + width - 2 * (I + 1), &format_detail::kDecimalPairs[2 * (value / Power(100, I) % 100)], 2),
         ...);
      }
    }(std::make_index_sequence<width / 2>{});
    if constexpr (width % 2 != 0) {
      constexpr std::uint32_t lead = hex ? std::uint32_t{1} << (4 * (width - 1)) : Power(10, width - 1);
      *out = "0123456789abcdef"[value / lead];
    }
    return out + width;
  }

  template <format_detail::Field f>
  static char* EmitInt(char* out, std::int32_t value) {
    // Zero-padded fields ("%02d", "%03d") nearly always hold a value that fits them exactly.
    if constexpr (f.zeroPad && !f.leftAlign && f.width > 0 && f.width < 10) {
      constexpr std::uint32_t limit = Power(10, f.width);
      if (value >= 0 && static_cast<std::uint32_t>(value) < limit) {
        return EmitFixedDigits<f.width, false>(out, static_cast<std::uint32_t>(value));
      }
    }
    // Negate in unsigned arithmetic so INT32_MIN needs no special case.
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const std::size_t count = format_detail::DecimalDigitCount(magnitude);
    std::size_t trailing = 0;
    out = PlaceLead<f>(out, value < 0, count, trailing);
    format_detail::WriteDigitsBefore(out + count, magnitude);
    return Blanks(out + count, trailing);
  }

  template <format_detail::Field f>
  static char* EmitHex(char* out, std::uint32_t value) {
    // Offsets ("%08x") and bytes ("%02x") fill their fields exactly: one digit per nibble, unrolled.
    if constexpr (f.zeroPad && !f.leftAlign && f.width > 0 && f.width <= 8) {
      constexpr std::uint64_t limit = std::uint64_t{1} << (4 * f.width);
      if (value < limit) return EmitFixedDigits<f.width, true>(out, value);
    }
    char digits[8];
    char* p = digits + sizeof digits;
    do {
      *--p = "0123456789abcdef"[value & 15u];
      value >>= 4;
    } while (value != 0);
    return Place<f>(out, false, p, static_cast<std::size_t>(digits + sizeof digits - p));
  }

  template <format_detail::Field f>
  static char* EmitText(char* out, std::string_view text) {
    // printf's '0' flag does not apply to %s and %c.
    constexpr format_detail::Field plain{f.conversion, f.leftAlign, false, f.width};
    if constexpr (f.width == 0) {
      return CopyText(out, text.data(), text.size());
    } else {
      return Place<plain>(out, false, text.data(), text.size());
    }
  }

  static char* EmitDouble(char* out, const format_detail::Field& f, double value);

  // Device names and annotation words are short: two overlapping fixed-size copies beat a call to
  // memcpy. Reads stay inside the text.
  static char* CopyText(char* out, const char* text, std::size_t size) {
    if (size >= 8 && size <= 16) {
      std::memcpy(out, text, 8);
      std::memcpy(out + size - 8, text + size - 8, 8);
    } else if (size >= 4 && size < 8) {
      std::memcpy(out, text, 4);
      std::memcpy(out + size - 4, text + size - 4, 4);
    } else if (size > 16) {
      std::memcpy(out, text, size);
    } else if (size > 0) {
      out[0] = text[0];
      out[size / 2] = text[size / 2];
      out[size - 1] = text[size - 1];
    }
    return out + size;
  }

  static constexpr std::uint32_t Power(std::uint32_t base, std::size_t exponent) {
    std::uint32_t result = 1;
    for (std::size_t i = 0; i < exponent; ++i) result *= base;
    return result;
  }

  template <FormatText F, std::size_t... I, typename... Args>
  static std::size_t EachDynamicLength(std::index_sequence<I...>, const Args&... args) {
    constexpr auto& parsed = format_detail::kParsed<F>;
    return (format_detail::DynamicLength(parsed.fields[I], args) + ...);
  }

  template <FormatText F, std::size_t... I, typename... Args>
  static char* EmitFields(char* out, std::index_sequence<I...>, const Args&... args) {
    ((out = EmitOne<F, I>(out, args)), ...);
    return out;
  }

  template <FormatText F, std::size_t I, typename T>
  static char* EmitOne(char* out, const T& arg) {
    constexpr format_detail::Field f = format_detail::kParsed<F>.fields[I];
    out = CopyLiteral<F, I>(out);
    if constexpr (f.conversion == 'd') {
      static_assert(std::is_integral_v<T>, "%d takes an integer");
      return EmitInt<f>(out, static_cast<std::int32_t>(arg));
    } else if constexpr (f.conversion == 'x') {
      static_assert(std::is_integral_v<T>, "%x takes an integer");
      return EmitHex<f>(out, static_cast<std::uint32_t>(arg));
    } else if constexpr (f.conversion == 'c') {
      static_assert(std::is_integral_v<T>, "%c takes a character");
      const char c = static_cast<char>(arg);
      if constexpr (f.width == 0) {
        *out = c;
        return out + 1;
      } else {
        return EmitText<f>(out, std::string_view(&c, 1));
      }
    } else if constexpr (f.conversion == 's') {
      static_assert(std::is_convertible_v<const T&, std::string_view>, "%s takes text");
      return EmitText<f>(out, std::string_view(arg));
    } else {
      static_assert(std::is_arithmetic_v<T>, "%f takes a number");
      return EmitDouble(out, f, static_cast<double>(arg));
    }
  }

  ReportTarget& target_;
  std::size_t Used() const { return static_cast<std::size_t>(cursor_ - buffer_.get()); }

  // The text goes to [buffer_, cursor_); the block ends at end_. Pointers rather than counts, so a
  // Print costs one comparison and one store besides its own text.
  std::unique_ptr<char[]> buffer_;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::uint64_t flushedBytes_ = 0;
  bool failed_ = false;
  const bool defers_;
  std::vector<DeferredPiece> pieces_;  // in the block now, in order
  std::shared_ptr<PieceMaker> maker_;
};

// One of two fixed texts, as a bit of the value decides.
template <FormatText WhenSet, FormatText WhenClear>
void PrintEither(ReportSink& out, bool set) {
  if (set) {
    out.Print<WhenSet>();
  } else {
    out.Print<WhenClear>();
  }
}

}  // namespace tavrin
