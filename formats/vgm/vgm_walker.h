// Walks the VGM command stream: chip writes onto device indexes, waits in samples, the other commands whole.
//
// Command lengths, the data bank (0x67 blocks of type 0x00 end to end), 0xE0 and 0x8n as the VGM
// format description has them (VGM Spec v1.71, https://www.smspower.org/uploads/Music/vgmspec171.txt).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/byte_reader.h"
#include "core/command.h"
#include "formats/vgm/data_bank.h"
#include "formats/vgm/vgm.h"

namespace tavrin {

// What a command other than a decoded write, a wait or the end is, for its line.
enum class VgmOther : std::uint8_t {
  None,
  ChipWrite,     // a chip Tavrin does not decode, or one whose clock is 0
  DataBlock,     // 0x67: type, size (the data are skipped)
  PcmRamWrite,   // 0x68
  DacStream,     // 0x90-0x95
  Seek,          // 0xE0
  WaitOverride,  // 0x64
  Reserved,      // a reserved command of known length
  Unknown,       // no length known: the walk stops
};

// The last command as the VGM has it, beside the Command the stream gives.
struct VgmCommandInfo {
  VgmOther other = VgmOther::None;
  std::size_t chipKind = 0;  // ChipWrite: index into VgmChipKinds()
  bool second = false;       // ChipWrite: the second chip of its kind
  int device = -1;           // ChipWrite: its device index, -1 without a clock
  // A 0x8n comes as two commands at one offset: the YM2612 write of register $2A with the bank's
  // byte, then the wait. Without a byte to send (no YM2612, a pointer past the bank) only the wait.
  bool dacWait = false;        // either half of a 0x8n
  int dacByte = 0;             // the byte sent; kNoDacChip, VgmDataBank::kPastEnd or kNotKept
  std::uint64_t dacOffset = 0;  // where in the data bank it was read
};

// VgmCommandInfo::dacByte of a 0x8n in a file without a YM2612.
inline constexpr int kNoDacChip = -3;

class VgmWalker final : public CommandSource {
 public:
  VgmWalker(ByteReader& in, const VgmInfo& info);

  // The next command, or false when the walk is over. Inline: it runs once per command, and a
  // report's walk (a template over its source) takes the common write in whole.
  [[gnu::always_inline]] bool Next(Command& cmd) override {
    // One test for the stop, the end of the data and a pending DAC wait: each of them lowers `limit_`.
    if (position_ >= limit_) return NextAtLimit(cmd);
    const int h = in_.Next();
    if (h < 0) {
      Stop();
      return false;
    }
    // The other fields are read only with these set.
    info_.other = VgmOther::None;
    info_.dacWait = false;
    raw_[0] = static_cast<std::uint8_t>(h);
    const WriteTarget& target = targets_[static_cast<std::size_t>(h)];
    switch (target.route) {
      case Route::Write2:
        // Most commands: a write to a decoded chip whose device the first byte names, register and
        // value. Every field is set here, so the command is not cleared first.
        if (const std::uint8_t* pair = in_.TakePair()) return Write(cmd, target, pair[0], pair[1], 3);
        if (const int a = in_.Next(); a >= 0) {
          if (const int b = in_.Next(); b >= 0) return Write(cmd, target, static_cast<std::uint8_t>(a), b, 3);
          raw_[1] = static_cast<std::uint8_t>(a);
          rawLength_ = 2;
        } else {
          rawLength_ = 1;
        }
        // The file ends inside the write: what it holds of it, as the other commands cut show it.
        return NextOther(cmd, true);
      case Route::Write1:
        if (const int b = in_.Next(); b >= 0) return Write(cmd, target, target.reg, b, 2);
        rawLength_ = 1;
        return NextOther(cmd, true);
      case Route::Wait3:
        return NextWait(cmd, h, 3);
      case Route::Wait1:
        return NextWait(cmd, h, 1);
      case Route::Other:
        break;
    }
    return NextOther(cmd, false);
  }

  // Operand bytes are all held (a command is at most 12 bytes): nothing to read again.
  std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest, std::size_t size) override;

  // The tag, when it bounds the commands; a stop at the end-of-file offset is the file's end.
  std::int32_t EndBound() const override { return boundIsTag_ ? static_cast<std::int32_t>(endBound_) : kOffsetLimit; }

  // The bytes of the last command as read (a data block: its 7-byte head only).
  std::span<const std::uint8_t> Raw() const { return {raw_.data(), rawLength_}; }
  const VgmCommandInfo& Info() const { return info_; }
  std::uint64_t DataBankSize() const { return bank_ ? bank_->Size() : 0; }

 private:
  // How Next reads a command by its first byte.
  enum class Route : std::uint8_t {
    Other,   // NextOther
    Write2,  // a decoded write the command alone places (`device`): register and value
    Write1,  // the same with the value alone (the register is `reg`)
    Wait3,   // 0x61 nn nn
    Wait1,   // 0x62, 0x63, 0x7n
  };
  struct WriteTarget {
    std::int16_t kind = -1;  // index into VgmChipKinds(); -1: not a chip write
    std::uint8_t port = 0;
    bool second = false;
    bool secondInRegister = false;  // bit 7 of the register byte picks the second chip
    bool single = false;            // one operand: the value (SN76489 and Game Gear stereo)
    std::uint8_t reg = 0;           // the register byte of single-operand writes
    bool decoded = false;           // a chip Tavrin decodes
    std::array<std::int16_t, 2> device{-1, -1};  // of the first and the second chip; -1 without a clock
    Route route = Route::Other;
    std::int16_t routeDevice = -1;  // Write2, Write1: the device written
  };

  // A whole write of Route Write2 or Write1, `length` bytes.
  [[gnu::always_inline]] bool Write(Command& cmd, const WriteTarget& target, std::uint8_t reg, int value, std::uint8_t length) {
    raw_[1] = length == 3 ? reg : static_cast<std::uint8_t>(value);
    raw_[2] = static_cast<std::uint8_t>(value);
    rawLength_ = length;
    cmd.offset = static_cast<std::int32_t>(position_);
    cmd.command = raw_[0];
    cmd.kind = CommandKind::Write;
    cmd.device = target.routeDevice;
    cmd.port = target.port;
    cmd.reg = reg;
    cmd.value = static_cast<std::uint8_t>(value);
    cmd.ticks = 0;
    cmd.tickCount = static_cast<std::int32_t>(samples_);
    cmd.elapsed = cmd.tickCount;
    cmd.countBytes = nullptr;
    cmd.countLength = 0;
    cmd.countHeld = 0;
    cmd.writeLength = length;
    cmd.hasDevice = true;
    cmd.atLoop = position_ == loopOffset_;  // the data never start at 0, where no loop points
    position_ += length;
    return true;
  }

  // A plain wait, whole; a 0x61 the file ends inside goes on as a cut command.
  bool NextWait(Command& cmd, int h, std::uint8_t length) {
    std::uint32_t samples = 0;
    if (length == 3) {
      const int a = in_.Next();
      const int b = a < 0 ? a : in_.Next();
      if (b < 0) {
        rawLength_ = 1;
        if (a >= 0) raw_[rawLength_++] = static_cast<std::uint8_t>(a);
        return NextOther(cmd, true);
      }
      raw_[1] = static_cast<std::uint8_t>(a);
      raw_[2] = static_cast<std::uint8_t>(b);
      samples = static_cast<std::uint32_t>(a | b << 8);
    } else {
      samples = h == 0x62 ? wait62_ : h == 0x63 ? wait63_ : (static_cast<std::uint32_t>(h) & 0x0Fu) + 1;
    }
    cmd = Command{};
    cmd.offset = static_cast<std::int32_t>(position_);
    cmd.command = static_cast<std::uint8_t>(h);
    cmd.atLoop = position_ == loopOffset_;
    cmd.kind = CommandKind::Wait;
    cmd.ticks = static_cast<std::int32_t>(samples);
    cmd.countBytes = raw_.data() + 1;
    cmd.countLength = length - 1u;
    cmd.countHeld = length - 1u;
    samples_ += samples;
    cmd.tickCount = static_cast<std::int32_t>(samples_);
    cmd.elapsed = cmd.tickCount;
    rawLength_ = length;
    position_ += length;
    return true;
  }

  [[gnu::noinline]] bool NextOther(Command& cmd, bool bytesRead);
  // Next at `limit_`: the wait half of a 0x8n, or the end of the walk.
  [[gnu::noinline]] bool NextAtLimit(Command& cmd);
  // The walk is over: nothing after this place can be read or placed.
  void Stop() {
    running_ = false;
    limit_ = 0;
  }
  void Classify(Command& cmd);
  void Dac(Command& cmd);
  [[gnu::noinline]] bool DacWait(Command& cmd);
  void SkipDataBlock(Command& cmd, std::uint64_t& advance);

  ByteReader& in_;
  std::array<WriteTarget, 256> targets_{};
  std::uint32_t loopOffset_;
  std::uint32_t endBound_;
  std::uint32_t limit_ = 0;  // endBound_ while the walk runs and no DAC wait is pending; 0 otherwise
  bool boundIsTag_ = false;
  std::uint32_t position_;
  std::uint32_t samples_ = 0;
  std::uint32_t wait62_ = 735;
  std::uint32_t wait63_ = 882;
  bool running_ = true;
  std::array<std::uint8_t, 16> raw_{};
  std::size_t rawLength_ = 0;
  VgmCommandInfo info_;
  std::array<std::uint8_t, 256> lengths_{};  // by first byte, for this file's version
  // The YM2612 DAC from the data bank (0x67 type 0x00, 0xE0, 0x8n).
  int dacDevice_ = -1;  // the first YM2612's device index; -1 without one
  std::unique_ptr<VgmDataBank> bank_;  // made by the first type-0x00 block
  std::uint64_t dacPointer_ = 0;
  bool dacWaitPending_ = false;  // the wait half of a 0x8n comes next
  std::uint32_t dacWaitSamples_ = 0;
};

}  // namespace tavrin
