// The threaded target passes on the same bytes in the same order, and a failed write always reaches Finish.
#include "core/threaded_target.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tavrin {
namespace {

// Collects what it is given, block by block; fails from block `failAt` on (counting from 1, 0: never),
// and can be slow, so that the caller runs ahead and has to wait for room.
class RecordingTarget final : public ReportTarget {
 public:
  explicit RecordingTarget(int failAt = 0, bool slow = false) : failAt_(failAt), slow_(slow) {}
  bool Write(const char* data, std::size_t size) override {
    if (slow_) std::this_thread::sleep_for(std::chrono::microseconds(200));
    blocks.emplace_back(data, size);
    return failAt_ == 0 || static_cast<int>(blocks.size()) < failAt_;
  }
  std::vector<std::string> blocks;

 private:
  int failAt_;
  bool slow_;
};

// Makes " => piece N" of a deferred N: texts of several lengths, as note texts are.
class NumberMaker final : public PieceMaker {
 public:
  void Make(ReportSink& out, const DeferredPiece& piece) override {
    int n = 0;
    std::memcpy(&n, piece.value.data(), sizeof n);
    out.Print<" => piece %d">(n);
  }
};

// Lines long enough to fill several sink blocks; with `huge`, one text longer than a block halfway, which
// makes the sink grow its block and hand it over by Write (a copy) from then on. Every `pieceEvery`th
// line (0: none) ends in a piece, deferred where the sink can.
void WriteLines(ReportSink& sink, int count, bool huge = false, int pieceEvery = 0) {
  const std::shared_ptr<PieceMaker> maker = std::make_shared<NumberMaker>();
  for (int i = 0; i < count; ++i) {
    sink.Print<"%08x : line %d of the report">(i, i);
    if (pieceEvery != 0 && i % pieceEvery == 0) {
      if (sink.CanDefer()) {
        sink.Defer(maker, i);
      } else {
        sink.Print<" => piece %d">(i);
      }
    }
    sink.Print<"\r\n">();
    if (huge && i == count / 2) sink.Print<"%s\r\n">(std::string(3 * kReportBlockSize, 'h'));
  }
}

// With pieces, the texts made on the writer's thread (or on the caller's, for the first block and a
// grown one) land where the sink left them: the bytes are those of a sink that wrote them in place.
TEST(ThreadedTargetTest, BlocksArriveWholeAndInOrder) {
  struct Case {
    int lines;
    bool huge;
    int pieceEvery;
  };
  for (const bool slow : {false, true}) {
    for (const auto [lines, huge, pieceEvery] :
         {Case{0, false, 0}, Case{1, false, 0}, Case{3000, false, 0}, Case{100000, false, 0}, Case{100000, true, 0},
          Case{1, false, 1}, Case{3000, false, 7}, Case{100000, false, 1}, Case{100000, false, 13},
          Case{100000, true, 3}}) {
      StringTarget direct;
      {
        ReportSink sink(direct);
        ASSERT_FALSE(sink.CanDefer());
        WriteLines(sink, lines, huge, pieceEvery);
        sink.Flush();
      }
      RecordingTarget recorded(0, slow);
      ThreadedTarget threaded(recorded);
      ReportSink sink(threaded);
      WriteLines(sink, lines, huge, pieceEvery);
      EXPECT_TRUE(sink.Flush());
      EXPECT_TRUE(threaded.Finish());
      std::string joined;
      for (const std::string& block : recorded.blocks) {
        EXPECT_FALSE(block.empty());
        joined += block;
      }
      // Not EXPECT_EQ: a difference in megabytes of text would be printed whole.
      EXPECT_TRUE(joined == direct.text) << lines << " lines, huge " << huge << ", slow " << slow
                                         << ", a piece every " << pieceEvery << ": " << joined.size()
                                         << " bytes against " << direct.text.size();
      if (lines == 0) {
        EXPECT_TRUE(recorded.blocks.empty());
      }
    }
  }
}

TEST(ThreadedTargetTest, TheFirstFailureReachesFinishAndLaterBlocksAreDropped) {
  struct Case {
    int failAt;  // block that fails (1: the one written without the thread)
    bool slow;
    int pieceEvery;
  };
  for (const Case c : {Case{1, false, 0}, Case{2, false, 0}, Case{2, true, 0}, Case{5, false, 0}, Case{5, true, 0},
                       Case{1, false, 2}, Case{2, false, 2}, Case{5, true, 2}}) {
    RecordingTarget recorded(c.failAt, c.slow);
    ThreadedTarget threaded(recorded);
    ReportSink sink(threaded);
    WriteLines(sink, 300000, false, c.pieceEvery);  // about 20 blocks
    EXPECT_FALSE(sink.Flush() && threaded.Finish()) << "fails at " << c.failAt;
    EXPECT_FALSE(threaded.Finish());
    EXPECT_EQ(recorded.blocks.size(), static_cast<std::size_t>(c.failAt)) << "fails at " << c.failAt;
  }
}

TEST(ThreadedTargetTest, TakeBlockReportsAFailureTheWriterMet) {
  RecordingTarget recorded(2, false);
  ThreadedTarget threaded(recorded);
  const auto Block = [](char c) {
    auto block = std::make_unique<char[]>(kReportBlockSize);
    block[0] = c;
    return block;
  };
  auto a = Block('a');
  EXPECT_TRUE(threaded.TakeBlock(a, 1));  // written directly
  auto b = Block('b');
  EXPECT_TRUE(threaded.TakeBlock(b, 1));  // queued; fails in the writer
  ASSERT_NE(b, nullptr);                   // an empty block came back
  bool reported = false;
  for (int i = 0; i < 10000 && !reported; ++i) {
    auto c = Block('c');
    reported = !threaded.TakeBlock(c, 1);
    if (!reported) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  EXPECT_TRUE(reported);
  EXPECT_FALSE(threaded.Write("d", 1));
  EXPECT_FALSE(threaded.Finish());
  EXPECT_EQ(recorded.blocks, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace tavrin
