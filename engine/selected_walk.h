// The dump walk behind a selection (--from/--to/--device) or --stats, shared by the text and JSON reports.
#pragma once

#include <cstdint>

#include "engine/byte_reader.h"
#include "engine/dump_walker.h"
#include "engine/selection.h"
#include "engine/stats.h"

namespace tavrin {

// Calls visit(cmd, shown, ticksBefore) for each command from the start of the dump, ticksBefore being
// the ticks of the waits before it. The walk stops once the window has passed, unless statistics are
// kept (they want the whole stream); `stats` may be null.
template <typename Visit>
void WalkSelection(ByteReader& in, const S98Header& header, const DumpWindow& window, DumpStats* stats,
                   Visit&& visit) {
  DumpWalker walker(in, header);
  DumpCommand cmd;
  std::uint64_t ticksBefore = 0;
  while (walker.Next(cmd)) {
    if (stats == nullptr && window.Passed(ticksBefore, cmd.offset)) break;
    const bool shown = window.Shows(ticksBefore, cmd);
    if (stats != nullptr) stats->Observe(cmd, shown);
    visit(cmd, shown, ticksBefore);
    if (cmd.kind == CommandKind::Sync) ticksBefore += static_cast<std::uint32_t>(cmd.ticks);
  }
  if (stats != nullptr) stats->Finish(walker.EndBound());
}

}  // namespace tavrin
