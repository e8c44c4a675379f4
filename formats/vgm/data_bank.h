// The YM2612 PCM data bank of a VGM walk: the data of every type-0x00 block end to end, in bounded memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace tavrin {

// The bytes 0x8n commands send to the YM2612 DAC and 0xE0 seeks in. The first `heldBytes` stay in
// memory in 64 KiB pieces (no reallocation doubles the peak); the rest go to an unnamed temporary
// file read back through a small window, so a bank of any size costs the same memory, and the walk
// of a .vgz, which cannot go back in its input cheaply, reads it as the walk of the .vgm does.
class VgmDataBank {
 public:
  static constexpr std::size_t kDefaultHeldBytes = 4u << 20;
  static constexpr int kPastEnd = -1;  // At: the offset lies past the bank's end
  static constexpr int kNotKept = -2;  // At: the byte could not be kept (no temporary file)

  explicit VgmDataBank(std::size_t heldBytes = kDefaultHeldBytes) : heldBytes_(heldBytes) {}
  ~VgmDataBank();
  VgmDataBank(const VgmDataBank&) = delete;
  VgmDataBank& operator=(const VgmDataBank&) = delete;

  void Append(const std::uint8_t* bytes, std::size_t size);

  // The byte at `offset`, kPastEnd or kNotKept.
  int At(std::uint64_t offset);

  std::uint64_t Size() const { return size_; }

 private:
  static constexpr std::size_t kPieceBytes = 64 * 1024;
  static constexpr std::size_t kWindowBytes = 4096;

  bool ReadWindow(std::uint64_t offset);

  std::size_t heldBytes_;
  std::vector<std::unique_ptr<std::uint8_t[]>> pieces_;
  std::uint64_t size_ = 0;
  std::FILE* spool_ = nullptr;  // bytes past heldBytes_, from file offset 0
  bool spoolFailed_ = false;
  std::uint64_t spooled_ = 0;  // bytes written to the spool (fewer than size_ - heldBytes_ once it failed)
  std::array<std::uint8_t, kWindowBytes> window_{};
  std::uint64_t windowStart_ = 0;  // spool offset of window_[0]
  std::size_t windowSize_ = 0;
};

}  // namespace tavrin
