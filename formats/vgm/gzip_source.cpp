// gzip inflation through zlib, one input block at a time.
#include "formats/vgm/gzip_source.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "formats/vgm/vgm.h"

namespace tavrin {

namespace {
constexpr std::size_t kInputBlock = 64 * 1024;
}  // namespace

std::size_t SpanSource::ReadSome(std::uint8_t* dest, std::size_t size) {
  const std::size_t n = std::min(size, bytes_.size() - at_);
  if (n > 0) std::memcpy(dest, bytes_.data() + at_, n);
  at_ += n;
  return n;
}

bool SpanSource::SeekTo(std::uint64_t offset) {
  at_ = offset < bytes_.size() ? static_cast<std::size_t>(offset) : bytes_.size();
  return true;
}

struct GzipSource::Stream {
  z_stream z{};
  bool open = false;
};

GzipSource::GzipSource(ByteSource& compressed)
    : compressed_(compressed), stream_(std::make_unique<Stream>()), input_(new std::uint8_t[kInputBlock]) {
  Restart();
}

GzipSource::~GzipSource() {
  if (stream_->open) inflateEnd(&stream_->z);
}

bool GzipSource::Restart() {
  if (stream_->open) inflateEnd(&stream_->z);
  stream_->z = z_stream{};
  position_ = 0;
  ended_ = false;
  // 16 + MAX_WBITS: a gzip wrapper, not a raw zlib one.
  stream_->open = inflateInit2(&stream_->z, 16 + MAX_WBITS) == Z_OK;
  if (!stream_->open || !compressed_.SeekTo(0)) {
    failed_ = true;
    return false;
  }
  return true;
}

std::size_t GzipSource::ReadSome(std::uint8_t* dest, std::size_t size) {
  if (ended_ || failed_ || !stream_->open || size == 0) return 0;
  z_stream& z = stream_->z;
  z.next_out = dest;
  z.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
  while (z.avail_out == static_cast<uInt>(std::min<std::size_t>(size, 1u << 30))) {
    if (z.avail_in == 0) {
      const std::size_t got = compressed_.ReadSome(input_.get(), kInputBlock);
      if (got == 0) {
        // The compressed input ended before the stream did: a cut file reads as its bytes so far.
        ended_ = true;
        break;
      }
      z.next_in = input_.get();
      z.avail_in = static_cast<uInt>(got);
    }
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ended_ = true;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      failed_ = true;
      break;
    }
  }
  const std::size_t produced = std::min<std::size_t>(size, 1u << 30) - z.avail_out;
  position_ += produced;
  return produced;
}

bool GzipSource::SeekTo(std::uint64_t offset) {
  if (offset < position_ && !Restart()) return false;
  std::uint8_t skip[16 * 1024];
  while (position_ < offset) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof skip, offset - position_));
    if (ReadSome(skip, want) == 0) break;
  }
  return true;
}

LogKind SniffLog(ByteReader& in) {
  std::uint8_t magic[4] = {};
  const std::size_t got = in.Read(magic, sizeof magic);
  in.Seek(0);
  if (LooksLikeVgm(magic, got)) return LogKind::Vgm;
  if (LooksLikeGzip(magic, got)) return LogKind::Gzip;
  return LogKind::S98;
}

}  // namespace tavrin
