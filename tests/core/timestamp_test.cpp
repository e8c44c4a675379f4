// Timestamps: truncating signed division, sign of the dividend, hours not wrapped, unusable timers.
#include "core/timestamp.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace tavrin {
namespace {

std::string Stamp(std::int32_t elapsed, std::int32_t denominator) {
  StringTarget target;
  ReportSink sink(target);
  FormatTimestamp(sink, elapsed, denominator);
  sink.Flush();
  return target.text;
}

struct StampCase {
  std::int32_t elapsed;
  std::int32_t denominator;
  const char* expected;
};

TEST(FormatTimestampTest, Table) {
  const StampCase cases[] = {
      {0, 1000, "00:00:00.000"},
      {10, 1000, "00:00:00.010"},
      {1000, 1000, "00:00:01.000"},             // 100 ticks of 10/1000
      {3600000, 1000, "01:00:00.000"},          // 360000 ticks of 10/1000
      {61, 60, "00:00:01.001"},                 // the 61st tick of a 1/60 timer: fraction in 1/60 units
      {59, 60, "00:00:00.059"},
      {90061001, 1000, "25:01:01.001"},         // hours are not reduced modulo 24
      {-1500, 1000, "00:00:-1.-500"},           // remainders take the dividend's sign
      {INT_MAX, 1000, "596:31:23.647"},
      {INT_MIN, 1000, "-596:-31:-23.-648"},
      {7, -1, "00:00:-7.000"},                  // negative denominators follow the same arithmetic
      {5, 0x10000000, "--:--:--.---"},          // denominator * 3600 wraps to 0: no division possible
      {5, static_cast<std::int32_t>(0x80000000u), "--:--:--.---"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Stamp(c.elapsed, c.denominator), c.expected) << c.elapsed << "/" << c.denominator;
  }
}

// A dump's times fed in order to one RunningTimestamp must print, line for line, what FormatTimestamp
// prints for each alone: carries into seconds, minutes and hours, jumps, times that go back or wrap
// negative, and denominators at the edge of the ones whose hour fits 32 bits.
TEST(RunningTimestampTest, PrintsWhatFormatTimestampPrints) {
  struct Run {
    std::int32_t denominator;
    std::vector<std::int32_t> times;
  };
  const Run runs[] = {
      {1000, {0, 10, 990, 1000, 1999, 59999, 60000, 3599999, 3600000, 3600999, 7200001}},
      {60, {0, 59, 60, 61, 3599, 3600, 215999, 216000, 216059, 216060}},
      {1, {0, 1, 59, 60, 3599, 3600, 3601, INT_MAX}},
      {1000, {5000, 4000, 4999, 5001, 90061001, 90061000, 90061002}},  // back, then on
      {1000, {INT_MAX - 5, INT_MAX, INT_MIN, INT_MIN + 10, -1, 0, 1}},  // wrapped past the top
      {596523, {0, 596522, 596523, 35791379, 2147482800, INT_MAX}},     // the largest usable
      {596524, {0, 596523, 596524, 2147482800, INT_MAX}},               // its hour wraps
      {-1, {0, 7, 8, -3}},
      {0, {0, 5}},
      {0x10000000, {0, 5}},
  };
  for (const Run& run : runs) {
    StringTarget target;
    ReportSink sink(target);
    RunningTimestamp clock(run.denominator);
    std::string expected;
    for (const std::int32_t t : run.times) {
      clock.Format(sink, t);
      sink.Append("|");
      expected += Stamp(t, run.denominator) + "|";
    }
    sink.Flush();
    EXPECT_EQ(target.text, expected) << "denominator " << run.denominator;
  }
}

}  // namespace
}  // namespace tavrin
