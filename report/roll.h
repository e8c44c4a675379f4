// --roll: the notes as played drawn as a piano roll in SVG.
#pragma once

#include <string>
#include <string_view>

#include "report/played.h"

namespace tavrin {

inline constexpr double kDefaultRollScale = 50.0;  // pixels a second of the log's time

// Time runs to the right at `pixelsPerSecond`, pitch up (a grid line and label at every C); one colour
// per channel, named in the legend below; bends drawn as the note moving; drum hits as ticks in a lane
// under the notes; the loop point as a dashed line; a time axis in hh:mm:ss.fff.
// The heading is the song's title, or `fileName` for a log without one.
std::string RollSvg(const PlayedSong& song, double pixelsPerSecond, std::string_view fileName);

}  // namespace tavrin
