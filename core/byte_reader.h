// Input bytes in large blocks, from a file or from memory, with one byte at a time for the walker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tavrin {

// Four bytes at `bytes`, least significant first.
constexpr std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Where input blocks come from (an open file); memory input needs none.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes; 0 at the end of the input or on a read error.
  virtual std::size_t ReadSome(std::uint8_t* dest, std::size_t size) = 0;
  virtual bool SeekTo(std::uint64_t offset) = 0;
  // True once a read has failed (as opposed to reaching the end).
  virtual bool Failed() const { return false; }
};

class ByteReader {
 public:
  static constexpr std::size_t kBlockSize = 64 * 1024;

  explicit ByteReader(std::span<const std::uint8_t> memory);
  explicit ByteReader(ByteSource& source);

  // The next byte, or -1 at the end of the input.
  int Next() {
    if (cur_ == end_ && !Refill()) return -1;
    return *cur_++;
  }

  // The next two bytes where the block read so far holds both (one test for a register write's
  // operands); null otherwise, and nothing is taken: Next reads them then.
  const std::uint8_t* TakePair() {
    if (end_ - cur_ < 2) return nullptr;
    const std::uint8_t* pair = cur_;
    cur_ += 2;
    return pair;
  }

  // Copies up to `size` bytes; fewer only at the end of the input.
  std::size_t Read(std::uint8_t* dest, std::size_t size);

  // Moves to an absolute offset; a place past the end leaves the reader at its end. Input that cannot
  // be positioned (a pipe) is read forward to the place; a place behind it cannot be reached.
  void Seek(std::uint64_t offset);

  // Absolute offset of the next byte.
  std::uint64_t Position() const;

  // True when the input could not be read as asked: a read error, or a place behind the reader on
  // input that cannot go back. What was read then is not the whole file.
  bool Failed() const { return unreachable_ || (source_ != nullptr && source_->Failed()); }

 private:
  bool Refill();

  ByteSource* source_ = nullptr;
  std::unique_ptr<std::uint8_t[]> block_;
  std::uint64_t blockOffset_ = 0;  // file offset of block_[0]
  std::size_t blockSize_ = 0;
  std::span<const std::uint8_t> memory_;
  const std::uint8_t* cur_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  bool atEnd_ = false;
  bool unreachable_ = false;
};

}  // namespace tavrin
