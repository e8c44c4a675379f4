// UTF-8 sequences: how long the well-formed one at a place is, as the tag reader and the escapers read
// it, and a code point written as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// Length of the well-formed UTF-8 sequence at the start of `s` (1 to 4), or 0 when it is not one:
// no overlong forms, no surrogates, nothing past U+10FFFF. `consumed` gets the bytes that belong to a
// broken sequence (its longest well-formed prefix, at least one), so one U+FFFD can stand for each.
inline std::size_t Utf8SequenceLength(std::string_view s, std::size_t& consumed) {
  consumed = 1;
  if (s.empty()) return 0;
  const auto b0 = static_cast<std::uint8_t>(s[0]);
  if (b0 < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;  // bounds of the second byte; the rest are plain continuations
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // no overlong forms
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= s.size()) return 0;
    const auto b = static_cast<std::uint8_t>(s[i]);
    const bool fits = i == 1 ? (b >= low && b <= high) : (b & 0xC0u) == 0x80u;
    if (!fits) return 0;
    consumed = i + 1;
  }
  return length;
}

// Appends code point `cp` (at most U+10FFFF, not a surrogate) as UTF-8.
inline void AppendUtf8(std::string& text, std::uint32_t cp) {
  if (cp < 0x80) {
    text += static_cast<char>(cp);
  } else if (cp < 0x800) {
    text += static_cast<char>(0xC0 | cp >> 6);
    text += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    text += static_cast<char>(0xE0 | cp >> 12);
    text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | cp >> 18);
    text += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace tavrin
