// Register decoder of this chip family: appends nothing until its annotation lands.
#include "decoders/opll.h"

namespace tavrin {

void OpllDetailDecoder::Decode(ReportSink&, int, int, unsigned, unsigned) {}

}  // namespace tavrin
