// Walks the S98 dump stream command by command: offsets, raw bytes, ticks and elapsed time, loop point.
#pragma once

#include <array>
#include <cstdint>

#include "core/byte_reader.h"
#include "core/command.h"
#include "formats/s98/s98.h"

namespace tavrin {

//   00-FC  dd rr vv   register write: device = byte >> 1, port = byte & 1, register rr, value vv
//   FD                end of the dump (the loop point is where a player goes on)
//   FE     nn ...     wait count+2 ticks: 7-bit groups, least significant first, bit 7 set = more follow
//   FF                wait 1 tick
// All arithmetic wraps at 32 bits, computed unsigned so nothing overflows.
class DumpWalker final : public CommandSource {
 public:
  // Count bytes held in memory per wait; a longer count is read again from the input when shown, so
  // a hostile count of a gigabyte costs no more memory than a short one.
  static constexpr std::size_t kCountHeld = 4096;

  // `header` must carry the timer defaults already (numerator 10, denominator 1000 for stored zeros).
  DumpWalker(ByteReader& in, const S98Header& header);

  // The next command, or false when the walk is over (end command, end bound, end of input).
  bool Next(Command& cmd) override;

  std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest,
                          std::size_t size) override;

  // Where the walk stops at the latest: tagOffset when it lies after dataOffset.
  std::int32_t EndBound() const override { return endBound_; }

 private:
  ByteReader& in_;
  std::int32_t numerator_;
  std::int32_t loopOffset_;
  std::int32_t endBound_;
  std::int32_t position_;
  std::int32_t tickCount_ = 0;
  std::int32_t elapsed_ = 0;
  bool running_ = true;
  std::array<std::uint8_t, kCountHeld> countBytes_{};
};

}  // namespace tavrin
