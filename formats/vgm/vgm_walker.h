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

  bool Next(Command& cmd) override;

  // Operand bytes are all held (a command is at most 12 bytes): nothing to read again.
  std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest, std::size_t size) override;

  // The tag, when it bounds the commands; a stop at the end-of-file offset is the file's end.
  std::int32_t EndBound() const override { return boundIsTag_ ? static_cast<std::int32_t>(endBound_) : kOffsetLimit; }

  // The bytes of the last command as read (a data block: its 7-byte head only).
  std::span<const std::uint8_t> Raw() const { return {raw_.data(), rawLength_}; }
  const VgmCommandInfo& Info() const { return info_; }
  std::uint64_t DataBankSize() const { return bank_ ? bank_->Size() : 0; }

 private:
  struct WriteTarget {
    std::int16_t kind = -1;  // index into VgmChipKinds(); -1: not a chip write
    std::uint8_t port = 0;
    bool second = false;
    bool secondInRegister = false;  // bit 7 of the register byte picks the second chip
    bool single = false;            // one operand: the value (SN76489 and Game Gear stereo)
    std::uint8_t reg = 0;           // the register byte of single-operand writes
    bool decoded = false;           // a chip Tavrin decodes
    std::array<std::int16_t, 2> device{-1, -1};  // of the first and the second chip; -1 without a clock
    bool fast = false;  // decoded, and the command alone names the device
  };

  [[gnu::noinline]] bool NextOther(Command& cmd, bool bytesRead);
  void Classify(Command& cmd);
  void Dac(Command& cmd);
  bool DacWait(Command& cmd);
  void SkipDataBlock(Command& cmd, std::uint64_t& advance);

  ByteReader& in_;
  std::array<WriteTarget, 256> targets_{};
  std::uint32_t loopOffset_;
  std::uint32_t endBound_;
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
