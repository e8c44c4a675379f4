// Shared pieces of the OPN-family decoder: field readers and the SSG, rhythm and ADPCM branches.
#pragma once

#include "chips/opn/opn.h"
#include "core/bits.h"
#include "core/report_sink.h"

namespace tavrin::opn {


// Replaces the low byte of a two-register shadow value, keeping what the high register gave it.
constexpr std::int32_t WithLowByte(std::int32_t field, unsigned value) {
  return static_cast<std::int32_t>((static_cast<unsigned>(field) & 0xFF00u) | Bitfield(value, 0, 8));
}

// Replaces the bits from bit 8 up, keeping the low byte the low register gave it.
constexpr std::int32_t WithHighBits(std::int32_t field, unsigned highBits) {
  return static_cast<std::int32_t>((static_cast<unsigned>(field) & 0xFFu) | (highBits << 8));
}

// SSG registers $00..$0F of port 0.
void DecodeSsg(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned value);

// Rhythm registers $10..$1D of port 0.
void DecodeRhythm(ReportSink& out, unsigned reg, unsigned value);

// ADPCM registers $00..$10 of port 1.
void DecodeAdpcm(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned value);

}  // namespace tavrin::opn
