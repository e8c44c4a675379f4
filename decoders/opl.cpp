// Register decoder of this chip family: appends nothing until its annotation lands.
#include "decoders/opl.h"

namespace tavrin {

void OplDetailDecoder::Decode(ReportSink&, int, int, unsigned, unsigned) {}

}  // namespace tavrin
