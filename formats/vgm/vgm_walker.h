// Walks the VGM command stream: chip writes onto device indexes, waits in samples, the other commands whole.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/byte_reader.h"
#include "core/command.h"
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
  bool dacWait = false;      // a 0x8n wait (the YM2612 DAC byte from the data bank)
};

class VgmWalker final : public CommandSource {
 public:
  VgmWalker(ByteReader& in, const VgmInfo& info);

  bool Next(Command& cmd) override;

  // Operand bytes are all held (a command is at most 12 bytes): nothing to read again.
  std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest, std::size_t size) override;

  std::int32_t EndBound() const override { return static_cast<std::int32_t>(endBound_); }

  // The bytes of the last command as read (a data block: its 7-byte head only).
  std::span<const std::uint8_t> Raw() const { return {raw_.data(), rawLength_}; }
  const VgmCommandInfo& Info() const { return info_; }

 private:
  struct WriteTarget {
    std::int16_t kind = -1;  // index into VgmChipKinds(); -1: not a chip write
    std::uint8_t port = 0;
    bool second = false;
    bool secondInRegister = false;  // bit 7 of the register byte picks the second chip
    bool single = false;            // one operand: the value (SN76489 and Game Gear stereo)
    std::uint8_t reg = 0;           // the register byte of single-operand writes
  };

  void Classify(Command& cmd);

  ByteReader& in_;
  const VgmInfo& vgm_;
  std::array<WriteTarget, 256> targets_{};
  std::uint32_t loopOffset_;
  std::uint32_t endBound_;
  std::uint32_t position_;
  std::uint32_t samples_ = 0;
  std::uint32_t wait62_ = 735;
  std::uint32_t wait63_ = 882;
  bool running_ = true;
  std::array<std::uint8_t, 16> raw_{};
  std::size_t rawLength_ = 0;
  VgmCommandInfo info_;
};

}  // namespace tavrin
