// Which dump lines a report shows (--from, --to, --device): the bounds as typed, and as one file's ticks and
// offsets.
#pragma once

#include <bitset>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/command.h"
#include "core/device.h"

namespace tavrin {

// A place in the dump as the user names it: "83.5", "1:23.456" or "0:01:23.456" (seconds of the
// file's own timer), "1200t" (ticks) or "0x1a2b" (a file offset).
struct DumpPoint {
  enum class Unit : std::uint8_t { Seconds, Ticks, Offset };
  Unit unit = Unit::Ticks;
  std::uint64_t value = 0;  // Seconds: value / scale seconds; Ticks: a tick count; Offset: a file offset
  std::uint64_t scale = 1;  // a power of ten, for Seconds only
};

inline constexpr std::string_view kDumpPointExpected =
    "expected a time in seconds (83.5, 1:23.456 or 0:01:23.456), a tick count (1200t) "
    "or a file offset (0x1a2b)";
inline constexpr std::string_view kDeviceListExpected =
    "expected device numbers from 0 to 126 as the dump shows them (#00 up), separated by commas (0,2)";

// Null when `text` is not one of the forms above.
std::optional<DumpPoint> ParseDumpPoint(std::string_view text);

// "0,2" or "#00,#02" into the set of selected devices; false when any item is not a device number.
bool ParseDeviceList(std::string_view text, std::bitset<kDeviceIndexCount>& devices);

// Where a register state snapshot is taken (--state-at): a place as above, the loop point, or after
// the last command.
struct StatePoint {
  enum class Kind : std::uint8_t { Point, Loop, End };
  Kind kind = Kind::End;
  DumpPoint point;   // with Point
  std::string text;  // as typed
};

inline constexpr std::string_view kStatePointExpected =
    "expected loop, end, a time in seconds (83.5, 1:23.456 or 0:01:23.456), a tick count (1200t) "
    "or a file offset (0x1a2b)";

// Null when `text` is not one of the forms above.
std::optional<StatePoint> ParseStatePoint(std::string_view text);

// The first tick and offset at or after `point` in one file's terms (the --from rule). Returns "" or
// kStatusTimeNeedsTimer when a time meets a timer field that is not positive.
std::string ResolvePoint(const DumpPoint& point, const TickRate& rate, std::uint64_t& tick, std::int64_t& offset);

// What the user asked for, the same for every file.
struct DumpSelection {
  std::optional<DumpPoint> from;  // inclusive
  std::optional<DumpPoint> to;    // exclusive
  bool deviceFilter = false;
  std::bitset<kDeviceIndexCount> devices;  // with deviceFilter: the register writes shown

  bool Active() const { return from.has_value() || to.has_value() || deviceFilter; }
};

// The bounds of one file in its own terms. A command's place is the ticks of all waits before it
// (not counting its own) and its offset; it is inside when both are inside.
struct DumpWindow {
  std::uint64_t fromTick = 0;
  std::uint64_t toTick = std::numeric_limits<std::uint64_t>::max();
  std::int64_t fromOffset = std::numeric_limits<std::int64_t>::min();
  std::int64_t toOffset = std::numeric_limits<std::int64_t>::max();
  bool deviceFilter = false;
  std::bitset<kDeviceIndexCount> devices;

  bool Contains(std::uint64_t ticksBefore, std::int32_t offset) const {
    return ticksBefore >= fromTick && ticksBefore < toTick && offset >= fromOffset && offset < toOffset;
  }
  // Whether a command's line is shown: inside the window, and for a register line of one of the
  // chosen devices. Wait and end lines stay, and so does the line that
  // carries the loop point, whatever its device.
  bool Shows(std::uint64_t ticksBefore, const Command& cmd) const {
    return Contains(ticksBefore, cmd.offset) && (!deviceFilter || !IsRegisterCommand(cmd) || cmd.atLoop ||
                                                 devices[static_cast<std::size_t>(cmd.device)]);
  }
  // Ticks and offsets only grow along the dump, so nothing after this command can be inside.
  bool Passed(std::uint64_t ticksBefore, std::int32_t offset) const {
    return ticksBefore >= toTick || offset >= toOffset;
  }
};

// A time is turned into the first tick count at or after it: time = ticks x numerator / denominator.
// Returns "" or kStatusTimeNeedsTimer when a time bound meets a timer field that is not positive.
std::string ResolveWindow(const DumpSelection& selection, const TickRate& rate, DumpWindow& window);

}  // namespace tavrin
