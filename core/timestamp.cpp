// Timestamp arithmetic: wrapping 32-bit products, truncating division, remainders signed as the dividend.
#include "core/timestamp.h"

#include <charconv>
#include <limits>

namespace tavrin {

namespace {

std::int32_t WrappingMul(std::int32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * b);
}

// INT32_MIN / -1 does not fit; it wraps to INT32_MIN, as 32-bit hardware division would give.
std::int32_t Div(std::int32_t a, std::int32_t b) {
  if (b == -1) return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a));
  return a / b;
}
std::int32_t Mod(std::int32_t a, std::int32_t b) { return b == -1 ? 0 : a % b; }

}  // namespace

void FormatTimestamp(ReportSink& out, std::int32_t elapsed, std::int32_t denominator) {
  const std::int32_t perHour = WrappingMul(denominator, 3600);
  if (perHour == 0) {
    out.Print<"--:--:--.---">();
    return;
  }
  // perHour != 0 implies perMinute != 0 and denominator != 0 (3600 holds every factor 2 that 60 has).
  const std::int32_t perMinute = WrappingMul(denominator, 60);
  const std::int32_t hours = Div(elapsed, perHour);
  const std::int32_t minutes = Div(Mod(elapsed, perHour), perMinute);
  const std::int32_t seconds = Div(Mod(elapsed, perMinute), denominator);
  const std::int32_t fraction = Mod(Mod(elapsed, perMinute), denominator);
  out.Print<"%02d:%02d:%02d.%03d">(hours, minutes, seconds, fraction);
}

void RunningTimestamp::Carry() {
  fraction_ -= denominator_;
  if (++seconds_ == 60) {
    seconds_ = 0;
    if (++minutes_ == 60) {
      minutes_ = 0;
      ++hours_;
    }
  }
  MakePrefix();
}

void RunningTimestamp::MakePrefix() {
  // As %02d writes them: the fields are never negative.
  char* to = prefix_;
  const auto twoOrMore = [&to, this](std::int32_t value) {
    if (value < 10) *to++ = '0';
    to = std::to_chars(to, prefix_ + sizeof prefix_, value).ptr;
  };
  twoOrMore(hours_);
  *to++ = ':';
  twoOrMore(minutes_);
  *to++ = ':';
  twoOrMore(seconds_);
  *to++ = '.';
  prefixSize_ = static_cast<std::uint8_t>(to - prefix_);
}

void RunningTimestamp::Split(std::int32_t elapsed) {
  const std::int32_t perMinute = denominator_ * 60;
  hours_ = elapsed / (perMinute * 60);
  minutes_ = elapsed % (perMinute * 60) / perMinute;
  seconds_ = elapsed % perMinute / denominator_;
  fraction_ = elapsed % denominator_;
  MakePrefix();
}

void FormatTickTime(ReportSink& out, std::uint64_t ticks, const TickRate& rate) {
  if (!rate.realTime || rate.numerator <= 0 || rate.denominator <= 0) {
    FormatTimestamp(out, ElapsedOfTicks(ticks, rate.numerator), rate.denominator);
    return;
  }
  // Milliseconds of a 32-bit tick count: the product fits 64 bits for any positive 32-bit numerator.
  const std::uint64_t ms = static_cast<std::uint64_t>(static_cast<std::uint32_t>(ticks)) *
                           static_cast<std::uint32_t>(rate.numerator) * 1000u /
                           static_cast<std::uint32_t>(rate.denominator);
  FormatTimestamp(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(ms)), 1000);
}

}  // namespace tavrin
