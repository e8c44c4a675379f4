// The dump-stream walk: command bytes, 0xFE tick counts as little-endian 7-bit groups, wrapping sums.
#include "engine/dump_walker.h"

namespace tavrin {

namespace {
std::int32_t WrappingAdd(std::int32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + b);
}
}  // namespace

S98Header WithTimerDefaults(S98Header header) {
  if (header.timerNumerator == 0) header.timerNumerator = 10;
  if (header.timerDenominator == 0) header.timerDenominator = 1000;
  return header;
}

DumpWalker::DumpWalker(ByteReader& in, const S98Header& header)
    : in_(in),
      numerator_(header.timerNumerator),
      loopOffset_(header.loopOffset),
      endBound_(header.tagOffset > header.dataOffset ? header.tagOffset : 0x7FFFFFFF),
      position_(header.dataOffset) {
  // A negative data offset cannot be reached: the dump is empty.
  if (header.dataOffset < 0) {
    running_ = false;
  } else {
    in_.Seek(static_cast<std::uint64_t>(header.dataOffset));
  }
}

bool DumpWalker::Next(DumpCommand& cmd) {
  if (!running_ || position_ >= endBound_) return false;
  const int h = in_.Next();
  if (h < 0) {
    running_ = false;
    return false;
  }
  cmd.offset = position_;
  cmd.command = static_cast<std::uint8_t>(h);
  cmd.atLoop = position_ == loopOffset_;
  cmd.countBytes = nullptr;
  cmd.countLength = 0;
  std::uint32_t length = 1;

  if (h == 0xFF) {
    cmd.kind = CommandKind::Sync;
    cmd.ticks = 1;
    elapsed_ = WrappingAdd(elapsed_, static_cast<std::uint32_t>(numerator_));
    tickCount_ = WrappingAdd(tickCount_, 1);
  } else if (h == 0xFE) {
    countBytes_.clear();
    std::uint32_t value = 0;
    std::uint32_t shift = 0;
    int b = 0;
    do {
      b = in_.Next();
      if (b < 0) break;
      countBytes_.push_back(static_cast<std::uint8_t>(b));
      value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
      shift = (shift + 7) & 31;
    } while (b & 0x80);
    length += static_cast<std::uint32_t>(countBytes_.size());
    cmd.countBytes = countBytes_.data();
    cmd.countLength = countBytes_.size();
    if (b < 0) {
      // The count never ended: nothing is added, and the walk stops after this line.
      cmd.kind = CommandKind::Cut;
      running_ = false;
    } else {
      const std::uint32_t ticks = value + 2;
      cmd.kind = CommandKind::Sync;
      cmd.ticks = static_cast<std::int32_t>(ticks);
      elapsed_ = WrappingAdd(elapsed_, ticks * static_cast<std::uint32_t>(numerator_));
      tickCount_ = WrappingAdd(tickCount_, ticks);
    }
  } else if (h == 0xFD) {
    cmd.kind = CommandKind::End;
    running_ = false;
  } else {
    const int reg = in_.Next();
    const int value = reg < 0 ? -1 : in_.Next();
    cmd.device = h >> 1;
    cmd.port = h & 1;
    if (value < 0) {
      cmd.kind = CommandKind::Cut;
      running_ = false;
    } else {
      cmd.kind = CommandKind::Write;
      cmd.reg = static_cast<std::uint8_t>(reg);
      cmd.value = static_cast<std::uint8_t>(value);
      length += 2;
    }
  }
  cmd.tickCount = tickCount_;
  cmd.elapsed = elapsed_;
  position_ = WrappingAdd(position_, length);
  return true;
}

}  // namespace tavrin
