// Bit fields of register values, read the same way by every decoder.
#pragma once

namespace tavrin {

// The `length` bits of `value` starting at bit `start`, moved down to bit 0 (length below 32).
constexpr unsigned Bitfield(unsigned value, unsigned start, unsigned length) {
  return (value >> start) & ((1u << length) - 1u);
}

constexpr bool Bit(unsigned value, unsigned bit) { return Bitfield(value, bit, 1) != 0; }

}  // namespace tavrin
