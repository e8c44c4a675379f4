// A ByteSource that inflates a gzip stream as it is read: memory stays bounded by two blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/byte_reader.h"

namespace tavrin {

// Bytes in memory as a ByteSource (so memory input can be inflated the same way).
class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t ReadSome(std::uint8_t* dest, std::size_t size) override;
  bool SeekTo(std::uint64_t offset) override;

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// The decompressed bytes of the gzip stream `compressed` holds. Offsets are offsets in the
// decompressed bytes; a seek backwards starts the inflation again from the first byte. A damaged
// stream counts as a read error (Failed), so a report of less than the file is not committed.
class GzipSource final : public ByteSource {
 public:
  explicit GzipSource(ByteSource& compressed);
  ~GzipSource() override;
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t ReadSome(std::uint8_t* dest, std::size_t size) override;
  bool SeekTo(std::uint64_t offset) override;
  bool Failed() const override { return failed_ || compressed_.Failed(); }

 private:
  bool Restart();

  struct Stream;
  ByteSource& compressed_;
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<std::uint8_t[]> input_;
  std::uint64_t position_ = 0;  // decompressed bytes handed out so far
  bool ended_ = false;
  bool failed_ = false;
};

// The log formats told apart by their first bytes, whatever the file is called.
enum class LogKind : std::uint8_t { S98, Vgm, Gzip };

// Reads the first bytes of `in` and goes back to its start.
LogKind SniffLog(ByteReader& in);

// Calls convert(reader) with the VGM bytes of `in` (whose bytes `source` gives): inflated as they are
// read when they are gzip-compressed.
template <typename Convert>
auto WithVgmBytes(LogKind kind, ByteReader& in, ByteSource& source, Convert&& convert) {
  if (kind != LogKind::Gzip) return convert(in);
  GzipSource inflate(source);
  ByteReader inflated(inflate);
  return convert(inflated);
}

}  // namespace tavrin
