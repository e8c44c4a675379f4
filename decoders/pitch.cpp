// Pitch of register writes (not yet written: appends nothing).
#include "decoders/pitch.h"

namespace tavrin {

void PitchTracker::Annotate(ReportSink&, std::uint32_t, std::int32_t, int, int, unsigned, unsigned) {}

}  // namespace tavrin
