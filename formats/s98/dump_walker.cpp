// The dump-stream walk: command bytes, 0xFE tick counts as little-endian 7-bit groups, wrapping sums.
#include "formats/s98/dump_walker.h"

namespace tavrin {

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

std::uint32_t DumpWalker::ReadCount(Command& cmd) {
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
    AddTicks(ticks);
  }
  return static_cast<std::uint32_t>(count);
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
