// Elapsed time of the dump as hh:mm:ss.fff, in the file's own tick units.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/command.h"
#include "core/report_sink.h"

namespace tavrin {

// Appends "%02d:%02d:%02d.%03d" for `elapsed` units of 1/denominator second, in 32-bit signed
// arithmetic (hours not reduced modulo 24). A denominator for which denominator * 3600 wraps to zero
// cannot be divided by; such files print "--:--:--.---".
// Elapsed time after `ticks` ticks in the dump's own 32-bit units (ticks x numerator, wrapping), so a
// time computed from a tick count reads like the dump's timestamps.
constexpr std::int32_t ElapsedOfTicks(std::uint64_t ticks, std::int32_t numerator) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) * static_cast<std::uint32_t>(numerator));
}

void FormatTimestamp(ReportSink& out, std::int32_t elapsed, std::int32_t denominator);

// FormatTimestamp for the times of one dump, which mostly grow by less than a second from line to
// line: it carries the last time's fields forward instead of dividing four times per wait. A time
// that goes back, jumps a second or more, or meets a denominator whose hour does not fit 32 bits is
// divided out as FormatTimestamp does.
class RunningTimestamp {
 public:
  explicit RunningTimestamp(std::int32_t denominator) : denominator_(denominator) { MakePrefix(); }

  void Format(ReportSink& out, std::int32_t elapsed) {
    if (!Usable() || elapsed < last_) {
      FormatTimestamp(out, elapsed, denominator_);
      return;
    }
    const std::int32_t step = elapsed - last_;
    if (step < denominator_) {
      fraction_ += step;
      if (fraction_ >= denominator_) Carry();
    } else {
      Split(elapsed);
    }
    last_ = elapsed;
    out.AppendWith(sizeof prefix_, [this](char* to) {
      std::memcpy(to, prefix_, sizeof prefix_);
      return to + prefixSize_;
    });
    out.Print<"%03d">(fraction_);
  }

 private:
  // Positive, and an hour of it fits a 32-bit count, so every field is plain division.
  bool Usable() const { return denominator_ > 0 && denominator_ <= 0x7FFFFFFF / 3600; }
  void Carry();
  void Split(std::int32_t elapsed);
  // "hh:mm:ss." of the fields, kept as text: it changes once a second of the music, the fraction on
  // every line.
  void MakePrefix();

  std::int32_t denominator_;
  std::int32_t last_ = 0;  // never negative; the fields below are its parts
  std::int32_t hours_ = 0;
  std::int32_t minutes_ = 0;
  std::int32_t seconds_ = 0;
  std::int32_t fraction_ = 0;
  // At most "596523:59:59." (an hour of a denominator of 1 fits 32 bits 596 523 times).
  char prefix_[16] = {};
  std::uint8_t prefixSize_ = 0;
};

// The time after `ticks` ticks of `rate`, as the log's dump lines show times.
void FormatTickTime(ReportSink& out, std::uint64_t ticks, const TickRate& rate);

}  // namespace tavrin
