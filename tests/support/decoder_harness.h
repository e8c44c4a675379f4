// Feeds register writes to one decoder and returns the text each write appended.
#pragma once

#include <string>

#include "core/report_sink.h"

namespace tavrin::testing {

template <typename Decoder>
class DecoderHarness {
 public:
  // The annotation of one write, exactly as it would follow "] " on the report line.
  std::string Write(int device, int port, unsigned reg, unsigned value) {
    StringTarget target;
    ReportSink sink(target);
    decoder.Decode(sink, device, port, reg, value);
    sink.Flush();
    return target.text;
  }

  Decoder decoder;
};

}  // namespace tavrin::testing
