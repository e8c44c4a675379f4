// What the dump walker asks of a chip family's decoder, and the device-index range decoders keep state for.
#pragma once

#include "engine/report_sink.h"

namespace tavrin {

// The command byte addresses device indexes 0 to 126 (0xFC >> 1); decoders keep one record for each,
// so no write is dropped or shares a record with another device.
inline constexpr int kDeviceIndexCount = 127;

// One decoder object serves one conversion: it is created with all shadow state zero and dies with
// the conversion, so a report depends only on its own file.
class DetailDecoder {
 public:
  virtual ~DetailDecoder() = default;

  // Appends the meaning of one register write to the current report line; never writes a line end.
  // device is 0..126, port 0 or 1, reg and value 0..255. Families that have no port (OPLL, DCSG)
  // or no register byte (DCSG) ignore those arguments.
  virtual void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) = 0;
};

}  // namespace tavrin
