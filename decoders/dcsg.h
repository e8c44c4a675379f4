// Register decoder of this chip family (annotation comes with its own change).
#pragma once

#include "engine/detail_decoder.h"

namespace tavrin {

class DcsgDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;
};

}  // namespace tavrin
