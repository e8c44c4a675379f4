// Register decoder of this chip family: appends nothing until its annotation lands.
#include "decoders/opn.h"

namespace tavrin {

void OpnDetailDecoder::Decode(ReportSink&, int, int, unsigned, unsigned) {}

}  // namespace tavrin
