// JSON text must come out byte for byte as nlohmann-json's compact dump (invalid UTF-8 replaced) writes it.
#include "core/json_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tavrin {
namespace {

using Json = nlohmann::ordered_json;

std::string Dumped(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

template <typename Append, typename T>
std::string Ours(Append append, const T& value) {
  StringTarget target;
  ReportSink sink(target);
  append(sink, value);
  sink.Flush();
  return target.text;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15u];
  return hex;
}

// Counts mismatches rather than failing each, so one broken rule does not print thousands of lines.
template <typename T, typename Append>
void ExpectAllMatch(const std::vector<T>& values, Append append, const char* what) {
  int mismatches = 0;
  for (const T& value : values) {
    const std::string expected = Dumped(Json(value));
    const std::string actual = Ours(append, value);
    if (actual != expected && ++mismatches <= 10) {
      if constexpr (std::is_same_v<T, std::string>) {
        ADD_FAILURE() << what << " " << Hex(value) << ": got " << Hex(actual) << ", want " << Hex(expected);
      } else {
        ADD_FAILURE() << what << " " << std::bit_cast<std::uint64_t>(static_cast<double>(value)) << ": got "
                      << actual << ", want " << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << what << ": of " << values.size();
}

TEST(JsonTextTest, StringsMatchTheLibraryOnEveryByteShape) {
  std::vector<std::string> strings = {"", "RHY Key-ON : - - C - - -", "\"quoted\" \\ back", "\x7f", "tab\there"};
  // Every byte alone and between letters; every pair of bytes (all two-byte shapes, controls included).
  for (int a = 0; a < 256; ++a) {
    strings.emplace_back(1, static_cast<char>(a));
    strings.push_back("a" + std::string(1, static_cast<char>(a)) + "z");
    for (int b = 0; b < 256; ++b) strings.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  // Up to four bytes from the edges of every UTF-8 range: overlong forms (C0 80, E0 80 80, F0 80 80 80),
  // surrogates (ED A0 80), the last code point (F4 8F BF BF) and past it (F4 90 80 80), sequences cut
  // by an ASCII byte, a quote, a control or another lead, and sequences cut by the end.
  const std::vector<unsigned char> edges = {0x00, 0x1F, 0x22, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                            0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0,
                                            0xF1, 0xF3, 0xF4, 0xF5, 0xFE, 0xFF};
  for (unsigned char a : edges)
    for (unsigned char b : edges)
      for (unsigned char c : edges) {
        strings.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        for (unsigned char d : edges) {
          strings.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)});
        }
      }
  // Every byte at every place of a 16-byte text, for the eight-byte plain-text path.
  for (int b = 0; b < 256; ++b) {
    for (std::size_t at = 0; at < 16; ++at) {
      std::string s(16, 'a');
      s[at] = static_cast<char>(b);
      strings.push_back(s);
    }
  }
  // Random text of mixed valid and broken UTF-8, some long enough to cross the writer's 4096-byte pieces
  // with a sequence spanning the seam.
  std::mt19937 rng(16);
  const std::vector<std::string> pieces = {"a", "\"", "\\", "\n", "\x01", "\xc3\xa9", "\xe3\x81\x82", "\xf0\x9f\x8e\xb5",
                                           "\x80", "\xe3\x81", "\xf0\x9f", "\xed\xa0\x80", "\xfe", "\xc0\xaf"};
  for (int i = 0; i < 2000; ++i) {
    std::string s;
    const std::size_t length = i % 100 == 0 ? 9000 : rng() % 40;
    while (s.size() < length) s += pieces[rng() % pieces.size()];
    strings.push_back(s);
  }
  for (std::size_t shift = 4093; shift <= 4097; ++shift) {
    strings.push_back(std::string(shift, 'x') + "\xf0\x9f\x8e\xb5\xe3\x81\x82" + std::string(10, 'y'));
    strings.push_back(std::string(shift, 'x') + "\xf0\x9f\x8e" + std::string(10, 'y'));
  }
  ExpectAllMatch(strings, [](ReportSink& out, const std::string& s) { AppendJsonString(out, s); }, "string");
}

TEST(JsonTextTest, IntegersMatchTheLibrary) {
  std::vector<std::int64_t> signedValues = {0, -1, std::numeric_limits<std::int64_t>::min(),
                                            std::numeric_limits<std::int64_t>::max(), INT32_MIN, INT32_MAX};
  std::vector<std::uint64_t> unsignedValues = {std::numeric_limits<std::uint64_t>::max(), UINT32_MAX};
  for (std::uint64_t p = 1; p <= 1000000000000000000u; p *= 10) {
    for (std::uint64_t v : {p - 1, p, p + 1}) {
      unsignedValues.push_back(v);
      signedValues.push_back(static_cast<std::int64_t>(v));
      signedValues.push_back(-static_cast<std::int64_t>(v));
    }
  }
  ExpectAllMatch(signedValues, [](ReportSink& out, std::int64_t v) { AppendJsonInteger(out, v); }, "integer");
  ExpectAllMatch(unsignedValues, [](ReportSink& out, std::uint64_t v) { AppendJsonUnsigned(out, v); }, "unsigned");
}

TEST(JsonTextTest, DoublesMatchTheLibrary) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-5, 1e-4, 1.5e-4, 1e21, 1e15, 1e16, 123456789012345.0,
                                1234567890123456.0, 0.30000000000000004, std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(), std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::denorm_min(), std::nextafter(std::numeric_limits<double>::min(), 0.0),
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int i = -1000; i <= 1000; ++i) values.push_back(i);
  // Every power of ten and its neighbours: each entry of the cached powers gets used.
  for (int e = -325; e <= 308; ++e) {
    const double p = std::pow(10.0, e);
    values.push_back(p);
    values.push_back(std::nextafter(p, 0.0));
    values.push_back(std::nextafter(p, std::numeric_limits<double>::infinity()));
  }
  // Powers of two, where the lower neighbour is closer.
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  // Random bit patterns over the whole range, denormals included.
  std::mt19937_64 rng(16);
  for (int i = 0; i < 200000; ++i) values.push_back(std::bit_cast<double>(rng()));
  for (int i = 0; i < 20000; ++i) values.push_back(std::bit_cast<double>(rng() & 0x000FFFFFFFFFFFFFu));
  // Elapsed seconds as the report works them out: ticks * numerator / denominator, for the timers
  // files use (the default 10/1000, 1/1000, 1/60, 1/44100, ...), negative numerators included.
  const std::vector<std::pair<std::int32_t, std::int32_t>> timers = {
      {10, 1000}, {1, 1000}, {1, 1}, {1, 60}, {1, 44100}, {1, 1001}, {17, 1000}, {3, 7}, {-10, 1000}, {1, 2147483647}};
  for (const auto& [numerator, denominator] : timers) {
    for (std::uint64_t ticks = 0; ticks < 20000; ++ticks) {
      values.push_back(static_cast<double>(ticks) * numerator / denominator);
    }
    for (int i = 0; i < 2000; ++i) values.push_back(static_cast<double>(rng() >> (rng() % 64)) * numerator / denominator);
  }
  ExpectAllMatch(values, [](ReportSink& out, double v) { AppendJsonDouble(out, v); }, "double");
}

}  // namespace
}  // namespace tavrin
