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

  // The next command, or false when the walk is over (end command, end bound, end of input). Inline:
  // it runs once per command, and a report's walk (a template over its source) takes it in whole.
  bool Next(Command& cmd) override {
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
    std::uint32_t length = 1;
    if (h < 0xFD) {
      cmd.device = h >> 1;
      cmd.port = h & 1;
      cmd.hasDevice = true;
      int reg = 0;
      int value = 0;
      if (const std::uint8_t* pair = in_.TakePair()) {
        reg = pair[0];
        value = pair[1];
      } else {
        reg = in_.Next();
        value = reg < 0 ? -1 : in_.Next();
      }
      if (value < 0) {
        cmd.kind = CommandKind::Cut;
        running_ = false;
      } else {
        cmd.kind = CommandKind::Write;
        cmd.reg = static_cast<std::uint8_t>(reg);
        cmd.value = static_cast<std::uint8_t>(value);
        length = 3;
      }
    } else {
      cmd.hasDevice = false;
      if (h == 0xFF) {
        cmd.kind = CommandKind::Wait;
        cmd.ticks = 1;
        AddTicks(1);
      } else if (h == 0xFE) {
        length += ReadCount(cmd);
      } else {
        cmd.kind = CommandKind::End;
        running_ = false;
      }
    }
    cmd.tickCount = tickCount_;
    cmd.elapsed = elapsed_;
    position_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(position_) + length);
    return true;
  }

  std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest,
                          std::size_t size) override;

  // Where the walk stops at the latest: tagOffset when it lies after dataOffset.
  std::int32_t EndBound() const override { return endBound_; }

 private:
  // The 0xFE wait after its first byte: its count bytes, and the wait or the cut they make. Returns
  // how many count bytes it read.
  std::uint32_t ReadCount(Command& cmd);

  void AddTicks(std::uint32_t ticks) {
    elapsed_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(elapsed_) +
                                         ticks * static_cast<std::uint32_t>(numerator_));
    tickCount_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(tickCount_) + ticks);
  }

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
