// The compile-time formats must write exactly what printf writes, and blocks must reach the target whole.
#include "core/report_sink.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace tavrin {
namespace {

template <FormatText F, typename... Args>
std::string Render(const Args&... args) {
  StringTarget target;
  ReportSink sink(target);
  sink.Print<F>(args...);
  sink.Flush();
  return target.text;
}

template <typename... Args>
std::string Printf(const char* format, Args... args) {
  char buffer[512];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, static_cast<std::size_t>(n));
}

#define EXPECT_LIKE_PRINTF(fmt, ...) EXPECT_EQ((Render<fmt>(__VA_ARGS__)), Printf(fmt, __VA_ARGS__)) << fmt

std::vector<int> InterestingInts() {
  std::vector<int> values = {0, 1, -1, 9, 10, 99, 100, 255, 999, 1000, -5, -99, -100, 12345,
                             INT_MAX, INT_MIN, INT_MIN + 1, 0x7FFF, -0x8000};
  // Each side of every change in digit count.
  for (int p = 10; p <= 1000000000; p *= 10) {
    for (int v : {p - 1, p}) {
      values.push_back(v);
      values.push_back(-v);
    }
    if (p == 1000000000) break;
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) values.push_back(static_cast<int>(rng()));
  return values;
}

TEST(ReportSinkTest, IntegerConversionsMatchPrintf) {
  for (int v : InterestingInts()) {
    EXPECT_LIKE_PRINTF("%d", v);
    EXPECT_LIKE_PRINTF("%0d", v);
    EXPECT_LIKE_PRINTF("%2d", v);
    EXPECT_LIKE_PRINTF("%3d", v);
    EXPECT_LIKE_PRINTF("%02d", v);
    EXPECT_LIKE_PRINTF("%03d", v);
    EXPECT_LIKE_PRINTF("%-5d|", v);
    EXPECT_LIKE_PRINTF("%x", static_cast<unsigned>(v));
    EXPECT_LIKE_PRINTF("%02x", static_cast<unsigned>(v));
    EXPECT_LIKE_PRINTF("%03x", static_cast<unsigned>(v));
    EXPECT_LIKE_PRINTF("%04x", static_cast<unsigned>(v));
    EXPECT_LIKE_PRINTF("%08x", static_cast<unsigned>(v));
  }
}

TEST(ReportSinkTest, TextCharAndFloatConversionsMatchPrintf) {
  for (const char* s : {"", "OPNA(YM2608)", "[ UNKNOWN ]", "PSG(AY-3-8910)", "a name longer than sixteen"}) {
    EXPECT_LIKE_PRINTF("#%02d %-16s Clock: %dHz", 3, s, 7987200);
    EXPECT_LIKE_PRINTF("(%s)", s);
    EXPECT_LIKE_PRINTF("%5s|", s);
  }
  // Every length a short text is copied by, and past it.
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEF";
  for (std::size_t n = 0; n <= letters.size(); ++n) EXPECT_LIKE_PRINTF("(%s)", letters.substr(0, n).c_str());
  for (int c : {0x33, 0x30, 0x41, 0x20, 0x7F}) EXPECT_LIKE_PRINTF("Version = %c\r\n", c);
  for (double d : {10.0, 16.666666666666668, 0.0, -10.0, 1e-9, 1e300, -1e300, 0.1234565, 2.5e-7}) {
    EXPECT_LIKE_PRINTF("(%f msec)", d);
  }
}

TEST(ReportSinkTest, CharacterZeroIsWrittenAsAByte) {
  // A version byte of 0 is written as stored, like printf's %c does.
  EXPECT_EQ((Render<"[%c]">(0)), std::string("[\0]", 3));
}

// Whatever the block size (the report's, or the few bytes of a sink for one note), lines, texts longer
// than a block and appended text arrive whole and in order.
TEST(ReportSinkTest, LongOutputArrivesWholeAndInOrder) {
  for (const std::size_t blockSize : {ReportSink::kBlockSize, std::size_t{64}, std::size_t{7}, std::size_t{1}}) {
    StringTarget target;
    ReportSink sink(target, blockSize);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
      sink.Print<"%08x : %02x \r\n">(i, i & 0xFF);
      expected += Printf("%08x : %02x \r\n", i, i & 0xFF);
      if (i % 5000 == 0) {
        sink.Append("appended ");
        expected += "appended ";
      }
    }
    const std::string big(3 * blockSize + 17, 'x');  // longer than a block
    sink.Print<"%s|">(big);
    sink.Print<"%d">(-42);
    expected += big + "|-42";
    EXPECT_EQ(sink.BytesWritten(), expected.size()) << blockSize;
    EXPECT_TRUE(sink.Flush());
    EXPECT_EQ(target.text, expected) << blockSize;
  }
}

class FailingTarget final : public ReportTarget {
 public:
  bool Write(const char*, std::size_t) override {
    ++calls;
    return false;
  }
  int calls = 0;
};

TEST(ReportSinkTest, AWriteFailureSticks) {
  FailingTarget target;
  ReportSink sink(target);
  sink.Print<"abc">();
  EXPECT_FALSE(sink.Flush());
  sink.Print<"def">();
  EXPECT_FALSE(sink.Flush());
  EXPECT_TRUE(sink.Failed());
  EXPECT_EQ(target.calls, 1);  // nothing more is sent after the first failure
}

}  // namespace
}  // namespace tavrin
