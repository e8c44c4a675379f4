// What the report asks of a chip family's annotator: the meaning of one register write as text.
#pragma once

#include "core/device.h"
#include "core/report_sink.h"

namespace tavrin {

// One annotator object serves one conversion: it is created with all shadow state zero and dies with
// the conversion, so a report depends only on its own file. Its shadow state is its own, kept as the
// report's texts need it; the register model (ChipState) is the chip's truth.
class DetailDecoder {
 public:
  virtual ~DetailDecoder() = default;

  // Appends the meaning of one register write to the current report line; never writes a line end.
  // device is 0..126, port 0 or 1, reg and value 0..255. Families that have no port (OPLL, DCSG)
  // or no register byte (DCSG) ignore those arguments.
  virtual void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) = 0;

  // The device's record, given once before its first write, for a family whose annotation depends on
  // the chip's variant (a VGM head's SN76489 flags).
  virtual void SetDevice(int /*device*/, const DeviceInfo& /*info*/) {}
};

}  // namespace tavrin
