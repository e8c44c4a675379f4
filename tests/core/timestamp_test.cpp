// Timestamps: truncating signed division, sign of the dividend, hours not wrapped, unusable timers.
#include "core/timestamp.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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

}  // namespace
}  // namespace tavrin
