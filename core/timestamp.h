// Elapsed time of the dump as hh:mm:ss.fff, in the file's own tick units.
#pragma once

#include <cstdint>

#include "core/command.h"
#include "core/report_sink.h"

namespace tavrin {

// Appends "%02d:%02d:%02d.%03d" for `elapsed` units of 1/denominator second, in 32-bit signed
// arithmetic (hours not reduced modulo 24). A denominator for which denominator * 3600 wraps to zero
// cannot be divided by; such files print "--:--:--.---".
// Elapsed time after `ticks` ticks in the dump's own 32-bit units (ticks x numerator, wrapping), so a
// time computed from a tick count reads like the dump's timestamps.
constexpr std::int32_t ElapsedOfTicks(std::uint64_t ticks, std::int32_t numerator) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) * static_cast<std::uint32_t>(numerator));
}

void FormatTimestamp(ReportSink& out, std::int32_t elapsed, std::int32_t denominator);

// The time after `ticks` ticks of `rate`, as the log's dump lines show times.
void FormatTickTime(ReportSink& out, std::uint64_t ticks, const TickRate& rate);

}  // namespace tavrin
