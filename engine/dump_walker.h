// Walks the dump stream command by command: offsets, raw bytes, ticks and elapsed time, loop point.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/s98.h"

namespace tavrin {

enum class CommandKind : std::uint8_t {
  Write,  // 0x00-0xFC: register write of device command >> 1, port command & 1
  Sync,   // 0xFF one tick, 0xFE n ticks
  End,    // 0xFD
  Cut,    // the input ended inside the command; the walk ends with it
};

struct DumpCommand {
  std::int32_t offset = 0;  // file offset of the command byte
  std::uint8_t command = 0;
  CommandKind kind = CommandKind::End;
  int device = 0;
  int port = 0;
  std::uint8_t reg = 0;
  std::uint8_t value = 0;
  std::int32_t ticks = 0;      // of this wait
  std::int32_t tickCount = 0;  // ticks so far, this wait included
  std::int32_t elapsed = 0;    // time so far in units of 1/timerDenominator second
  const std::uint8_t* countBytes = nullptr;  // the 0xFE count bytes as read (also when cut)
  std::size_t countLength = 0;
  bool atLoop = false;  // the command starts at loopOffset
};

// All arithmetic wraps at 32 bits, computed unsigned so nothing overflows.
class DumpWalker {
 public:
  // `header` must carry the timer defaults already (numerator 10, denominator 1000 for stored zeros).
  DumpWalker(ByteReader& in, const S98Header& header);

  // The next command, or false when the walk is over (end command, end bound, end of input).
  bool Next(DumpCommand& cmd);

  // Where the walk stops at the latest: tagOffset when it lies after dataOffset.
  std::int32_t EndBound() const { return endBound_; }

 private:
  ByteReader& in_;
  std::int32_t numerator_;
  std::int32_t loopOffset_;
  std::int32_t endBound_;
  std::int32_t position_;
  std::int32_t tickCount_ = 0;
  std::int32_t elapsed_ = 0;
  bool running_ = true;
  std::vector<std::uint8_t> countBytes_;
};

// Applies the stored-zero defaults of the timer fields.
S98Header WithTimerDefaults(S98Header header);

}  // namespace tavrin
