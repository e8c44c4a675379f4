// Register decoder of this chip family: appends nothing until its annotation lands.
#include "decoders/opm.h"

namespace tavrin {

void OpmDetailDecoder::Decode(ReportSink&, int, int, unsigned, unsigned) {}

}  // namespace tavrin
