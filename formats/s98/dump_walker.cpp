// The dump-stream walk: command bytes, 0xFE tick counts as little-endian 7-bit groups, wrapping sums.
#include "formats/s98/dump_walker.h"

namespace tavrin {

namespace {
std::int32_t WrappingAdd(std::int32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + b);
}
}  // namespace

DumpWalker::DumpWalker(ByteReader& in, const S98Header& header)
    : in_(in),
      numerator_(header.timerNumerator),
      loopOffset_(header.loopOffset),
      endBound_(header.tagOffset > header.dataOffset ? header.tagOffset : kOffsetLimit),
      position_(header.dataOffset) {
  // A negative data offset cannot be reached: the dump is empty.
  if (header.dataOffset < 0) {
    running_ = false;
  } else {
    in_.Seek(static_cast<std::uint64_t>(header.dataOffset));
  }
}

bool DumpWalker::Next(Command& cmd) {
  if (!running_ || position_ >= endBound_) return false;
  const int h = in_.Next();
  if (h < 0) {
    running_ = false;
    return false;
  }
  cmd.offset = position_;
  cmd.command = static_cast<std::uint8_t>(h);
  cmd.atLoop = position_ == loopOffset_;
  cmd.countLength = 0;
  cmd.countHeld = 0;
  cmd.hasDevice = false;
  std::uint32_t length = 1;

  if (h == 0xFF) {
    cmd.kind = CommandKind::Wait;
    cmd.ticks = 1;
    elapsed_ = WrappingAdd(elapsed_, static_cast<std::uint32_t>(numerator_));
    tickCount_ = WrappingAdd(tickCount_, 1);
  } else if (h == 0xFE) {
    std::uint32_t value = 0;
    std::uint32_t shift = 0;
    std::uint64_t count = 0;
    cmd.countBytes = countBytes_.data();
    int b = 0;
    do {
      b = in_.Next();
      if (b < 0) break;
      if (count < kCountHeld) countBytes_[count] = static_cast<std::uint8_t>(b);
      ++count;
      value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
      shift = (shift + 7) & 31;
    } while (b & 0x80);
    length += static_cast<std::uint32_t>(count);
    cmd.countLength = count;
    cmd.countHeld = count < kCountHeld ? static_cast<std::size_t>(count) : kCountHeld;
    if (b < 0) {
      // The count never ended: nothing is added, and the walk stops after this line.
      cmd.kind = CommandKind::Cut;
      running_ = false;
    } else {
      const std::uint32_t ticks = value + 2;
      cmd.kind = CommandKind::Wait;
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
    cmd.hasDevice = true;
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

std::size_t DumpWalker::CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest,
                                     std::size_t size) {
  std::size_t copied = 0;
  for (; copied < size && from + copied < cmd.countHeld; ++copied) dest[copied] = cmd.countBytes[from + copied];
  if (copied == size || from + copied >= cmd.countLength) return copied;
  // Past the held bytes: read them again where they lie, then go back to where the walk was.
  const std::uint64_t resume = in_.Position();
  in_.Seek(static_cast<std::uint64_t>(static_cast<std::uint32_t>(cmd.offset)) + 1 + from + copied);
  const std::uint64_t left = cmd.countLength - from - copied;
  const std::size_t want = left < size - copied ? static_cast<std::size_t>(left) : size - copied;
  copied += in_.Read(dest + copied, want);
  in_.Seek(resume);
  return copied;
}

}  // namespace tavrin
