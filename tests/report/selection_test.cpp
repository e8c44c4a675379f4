// --from/--to/--device as typed, and times turned into one file's tick counts.
#include "report/selection.h"

#include <gtest/gtest.h>

#include "engine/convert.h"

namespace tavrin {
namespace {

using Unit = DumpPoint::Unit;

struct PointCase {
  const char* text;
  Unit unit;
  std::uint64_t value;
  std::uint64_t scale;
};

TEST(ParseDumpPointTest, AcceptedForms) {
  const PointCase cases[] = {
      {"83.5", Unit::Seconds, 835, 10},
      {"83", Unit::Seconds, 83, 1},
      {"0", Unit::Seconds, 0, 1},
      {"1:23.456", Unit::Seconds, 83456, 1000},
      {"0:01:23.456", Unit::Seconds, 83456, 1000},
      {"2:00:00", Unit::Seconds, 7200, 1},
      {"90:00", Unit::Seconds, 5400, 1},  // the largest unit given may pass 59
      {"0.000000001", Unit::Seconds, 1, 1000000000},
      {"1200t", Unit::Ticks, 1200, 1},
      {"0t", Unit::Ticks, 0, 1},
      {"18446744073709551615t", Unit::Ticks, 18446744073709551615u, 1},
      {"0x1a2b", Unit::Offset, 0x1a2b, 1},
      {"0XFFFFFFFF", Unit::Offset, 0xFFFFFFFF, 1},
  };
  for (const auto& c : cases) {
    const auto point = ParseDumpPoint(c.text);
    ASSERT_TRUE(point.has_value()) << c.text;
    EXPECT_EQ(point->unit, c.unit) << c.text;
    EXPECT_EQ(point->value, c.value) << c.text;
    EXPECT_EQ(point->scale, c.scale) << c.text;
  }
}

TEST(ParseDumpPointTest, RefusedForms) {
  for (const char* text : {"",
                           "t",
                           "-1",
                           "+5",
                           "1.",
                           ".5",
                           "1:60",
                           "1:2:60",
                           "0:60:00",
                           "1:2:3:4",
                           "1::2",
                           "1.5:30",
                           "abc",
                           "12x",
                           "0x",
                           "0x123456789",
                           "0xg1",
                           "1e3",
                           " 5",
                           "5 ",
                           "1,5",
                           "0.0000000001",
                           "18446744073709551616t",
                           "99999999999"}) {
    EXPECT_FALSE(ParseDumpPoint(text).has_value()) << '"' << text << '"';
  }
}

TEST(ParseDeviceListTest, Items) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<std::size_t> devices;
  };
  const Case cases[] = {
      {"0", true, {0}},   {"0,2", true, {0, 2}}, {"#00,#02", true, {0, 2}}, {"126", true, {126}},
      {"3,3", true, {3}}, {"127", false, {}},    {"", false, {}},           {"0,", false, {}},
      {",1", false, {}},  {"0;2", false, {}},    {"-1", false, {}},         {"#", false, {}},
      {"1 ", false, {}},
  };
  for (const auto& c : cases) {
    std::bitset<kDeviceIndexCount> devices;
    EXPECT_EQ(ParseDeviceList(c.text, devices), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(devices.count(), c.devices.size()) << c.text;
    for (std::size_t d : c.devices) EXPECT_TRUE(devices[d]) << c.text << " #" << d;
  }
}

TickRate Timer(std::int32_t numerator, std::int32_t denominator) { return TickRate{numerator, denominator}; }

// A time selects from the first tick count whose time (ticks x numerator / denominator) reaches it.
TEST(ResolveWindowTest, TimesBecomeFirstTickAtOrAfter) {
  struct Case {
    const char* when;
    std::int32_t numerator, denominator;
    std::uint64_t tick;
  };
  const Case cases[] = {
      {"1", 10, 1000, 100},      // 10 ms ticks
      {"1.005", 10, 1000, 101},  // between ticks 100 and 101: 101
      {"1.01", 10, 1000, 101},   // exactly on tick 101
      {"0", 10, 1000, 0},
      {"1:00", 1, 60, 3600},  // 1/60 s ticks
      {"0.5", 1, 60, 30},
      {"0.51", 1, 60, 31},
      {"3", 1, 1, 3},  // one second a tick
      {"2.5", 1, 1, 3},
      {"1", 1, 22050, 22050},
      {"0:01:23.456", 10, 1000, 8346},  // 83.456 s of 10 ms ticks: 8345.6, so 8346
      {"1000000000", 1, 2147483647, 2147483647000000000u},
      {"1000000000", 1, 268435456, 268435456000000000u},  // a denominator whose timestamps cannot print
  };
  for (const auto& c : cases) {
    DumpSelection selection;
    selection.from = ParseDumpPoint(c.when);
    selection.to = ParseDumpPoint(c.when);
    DumpWindow window;
    ASSERT_EQ(ResolveWindow(selection, Timer(c.numerator, c.denominator), window), "") << c.when;
    EXPECT_EQ(window.fromTick, c.tick) << c.when << " at " << c.numerator << "/" << c.denominator;
    EXPECT_EQ(window.toTick, c.tick) << c.when;
  }
}

TEST(ResolveWindowTest, TicksAndOffsetsPassThrough) {
  DumpSelection selection;
  selection.from = ParseDumpPoint("0x40");
  selection.to = ParseDumpPoint("1200t");
  DumpWindow window;
  ASSERT_EQ(ResolveWindow(selection, Timer(-5, -7), window), "");  // no time bound: the timer does not matter
  EXPECT_EQ(window.fromOffset, 0x40);
  EXPECT_EQ(window.toTick, 1200u);
  EXPECT_EQ(window.fromTick, 0u);
  EXPECT_TRUE(window.Contains(1199, 0x40));
  EXPECT_FALSE(window.Contains(1200, 0x40));
  EXPECT_FALSE(window.Contains(0, 0x3f));
  EXPECT_TRUE(window.Passed(1200, 0));
  EXPECT_FALSE(window.Passed(1199, 0x7FFFFFFF));
}

TEST(ResolveWindowTest, TimeBoundNeedsPositiveTimer) {
  for (const auto& [numerator, denominator] :
       {std::pair{-10, 1000}, std::pair{10, -1000}, std::pair{10, 0}}) {
    DumpSelection selection;
    selection.to = ParseDumpPoint("1.5");
    DumpWindow window;
    EXPECT_EQ(ResolveWindow(selection, Timer(numerator, denominator), window), kStatusTimeNeedsTimer);
  }
}

TEST(ResolveWindowTest, DeviceFilterKeepsWaitsEndsAndTheLoopPoint) {
  DumpSelection selection;
  selection.deviceFilter = ParseDeviceList("2", selection.devices);
  DumpWindow window;
  ASSERT_EQ(ResolveWindow(selection, Timer(10, 1000), window), "");
  const auto command = [](std::uint8_t byte, bool atLoop) {
    Command cmd;
    cmd.offset = 0x20;
    cmd.command = byte;
    cmd.hasDevice = byte < 0xFD;
    cmd.device = byte >> 1;
    cmd.atLoop = atLoop;
    return cmd;
  };
  EXPECT_TRUE(window.Shows(0, command(0x04, false)));   // device 2, port 0
  EXPECT_TRUE(window.Shows(0, command(0x05, false)));   // device 2, port 1
  EXPECT_FALSE(window.Shows(0, command(0x02, false)));  // device 1
  EXPECT_TRUE(window.Shows(0, command(0x02, true)));    // device 1, but the loop point
  EXPECT_TRUE(window.Shows(0, command(0xFF, false)));   // waits and the end: the device byte means nothing
  EXPECT_TRUE(window.Shows(0, command(0xFE, false)));
  EXPECT_TRUE(window.Shows(0, command(0xFD, false)));
}

}  // namespace
}  // namespace tavrin
