// Register decoder of this chip family: appends nothing until its annotation lands.
#include "decoders/dcsg.h"

namespace tavrin {

void DcsgDetailDecoder::Decode(ReportSink&, int, int, unsigned, unsigned) {}

}  // namespace tavrin
