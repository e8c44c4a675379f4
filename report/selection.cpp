// Parsing of --from/--to/--device and the turning of times into one file's tick counts.
#include "report/selection.h"

#include <charconv>

#include "core/status.h"

namespace tavrin {

namespace {

// Seconds above this are refused rather than risk overflowing the scaled value (about 31 years).
constexpr std::uint64_t kMaxSeconds = 1'000'000'000;
constexpr std::size_t kMaxFractionDigits = 9;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of decimal digits only (no sign, no blank), below `limit`.
std::optional<std::uint64_t> Decimal(std::string_view text, std::uint64_t limit) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<DumpPoint> ParseOffset(std::string_view hex) {
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
  if (error != std::errc() || end != hex.data() + hex.size()) return std::nullopt;
  return DumpPoint{DumpPoint::Unit::Offset, value, 1};
}

// [[H:]M:]S[.F]: minutes and seconds stay below 60 when a larger unit stands before them.
std::optional<DumpPoint> ParseTime(std::string_view text) {
  std::string_view whole = text;
  std::string_view fraction;
  if (const auto dot = text.find('.'); dot != std::string_view::npos) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > kMaxFractionDigits) return std::nullopt;
  }
  std::string_view parts[3];
  std::size_t count = 0;
  while (true) {
    if (count == 3) return std::nullopt;
    const auto colon = whole.find(':');
    parts[count++] = whole.substr(0, colon);
    if (colon == std::string_view::npos) break;
    whole.remove_prefix(colon + 1);
  }
  std::uint64_t seconds = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const bool bounded = i > 0;  // a minute or second field after a larger unit
    const auto field = Decimal(parts[i], kMaxSeconds);
    if (!field || (bounded && *field >= 60)) return std::nullopt;
    seconds = seconds * 60 + *field;
    if (seconds > kMaxSeconds) return std::nullopt;
  }
  std::uint64_t scale = 1;
  std::uint64_t fractionValue = 0;
  if (!fraction.empty()) {
    const auto digits = Decimal(fraction, std::numeric_limits<std::uint64_t>::max());
    if (!digits) return std::nullopt;
    for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
    fractionValue = *digits;
  }
  return DumpPoint{DumpPoint::Unit::Seconds, seconds * scale + fractionValue, scale};
}

// The first tick count whose time is at or after value / scale seconds: ceil(value x den / (scale x num)).
// 128-bit intermediates: value < 2^64, den < 2^31 and scale x num < 2^61.
std::uint64_t FirstTickAtOrAfter(const DumpPoint& point, std::int32_t numerator, std::int32_t denominator) {
  __extension__ using Wide = unsigned __int128;
  const Wide top = static_cast<Wide>(point.value) * static_cast<std::uint32_t>(denominator);
  const Wide bottom = static_cast<Wide>(point.scale) * static_cast<std::uint32_t>(numerator);
  const Wide ticks = (top + bottom - 1) / bottom;
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  return ticks > kMax ? kMax : static_cast<std::uint64_t>(ticks);
}

}  // namespace

std::optional<DumpPoint> ParseDumpPoint(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseOffset(text.substr(2));
  if (!text.empty() && (text.back() == 't' || text.back() == 'T')) {
    const auto ticks = Decimal(text.substr(0, text.size() - 1), std::numeric_limits<std::uint64_t>::max());
    if (!ticks) return std::nullopt;
    return DumpPoint{DumpPoint::Unit::Ticks, *ticks, 1};
  }
  return ParseTime(text);
}

bool ParseDeviceList(std::string_view text, std::bitset<kDeviceIndexCount>& devices) {
  devices.reset();
  while (true) {
    const auto comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    if (!item.empty() && item.front() == '#') item.remove_prefix(1);
    const auto device = Decimal(item, kDeviceIndexCount - 1);
    if (!device) return false;
    devices.set(static_cast<std::size_t>(*device));
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

std::optional<StatePoint> ParseStatePoint(std::string_view text) {
  if (text == "loop") return StatePoint{StatePoint::Kind::Loop, {}, std::string(text)};
  if (text == "end") return StatePoint{StatePoint::Kind::End, {}, std::string(text)};
  const auto point = ParseDumpPoint(text);
  if (!point) return std::nullopt;
  return StatePoint{StatePoint::Kind::Point, *point, std::string(text)};
}

std::string ResolvePoint(const DumpPoint& point, const TickRate& rate, std::uint64_t& tick, std::int64_t& offset) {
  switch (point.unit) {
    case DumpPoint::Unit::Seconds:
      if (rate.numerator <= 0 || rate.denominator <= 0) return std::string(kStatusTimeNeedsTimer);
      tick = FirstTickAtOrAfter(point, rate.numerator, rate.denominator);
      break;
    case DumpPoint::Unit::Ticks:
      tick = point.value;
      break;
    case DumpPoint::Unit::Offset:
      offset = static_cast<std::int64_t>(point.value);
      break;
  }
  return {};
}

std::string ResolveWindow(const DumpSelection& selection, const TickRate& rate, DumpWindow& window) {
  window = DumpWindow{};
  if (selection.from) {
    if (std::string status = ResolvePoint(*selection.from, rate, window.fromTick, window.fromOffset); !status.empty())
      return status;
  }
  if (selection.to) {
    if (std::string status = ResolvePoint(*selection.to, rate, window.toTick, window.toOffset); !status.empty())
      return status;
  }
  window.deviceFilter = selection.deviceFilter;
  window.devices = selection.devices;
  return {};
}

}  // namespace tavrin
