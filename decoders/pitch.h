// The pitch a register write sets, as a note name and a frequency (--notes); its own state per conversion.
#pragma once

#include <cstdint>

#include "engine/report_sink.h"

namespace tavrin {

class PitchTracker {
 public:
  // Appends " => NOTE FREQ" after a write that sets a channel's pitch; nothing for other writes.
  // type and clock come from the device's record (the default OPNA at 7987200 Hz without records).
  void Annotate(ReportSink& out, std::uint32_t type, std::int32_t clock, int device, int port, unsigned reg,
                unsigned value);
};

}  // namespace tavrin
