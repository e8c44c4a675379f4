// Elapsed time of the dump as hh:mm:ss.fff, in the file's own tick units.
#pragma once

#include <cstdint>

#include "core/report_sink.h"

namespace tavrin {

// Appends "%02d:%02d:%02d.%03d" for `elapsed` units of 1/denominator second, in 32-bit signed
// arithmetic (hours not reduced modulo 24). A denominator for which denominator * 3600 wraps to zero
// cannot be divided by; such files print "--:--:--.---".
void FormatTimestamp(ReportSink& out, std::int32_t elapsed, std::int32_t denominator);

}  // namespace tavrin
