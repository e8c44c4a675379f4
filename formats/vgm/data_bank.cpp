// The data bank: pieces in memory up to a bound, then an unnamed temporary file read through a window.
#include "formats/vgm/data_bank.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

namespace {

// Spool offsets run past 2 GiB, which a long does not hold on Windows.
bool SeekSpool(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

VgmDataBank::~VgmDataBank() {
  if (spool_ != nullptr) std::fclose(spool_);
}

void VgmDataBank::Append(const std::uint8_t* bytes, std::size_t size) {
  while (size > 0 && size_ < heldBytes_) {
    const std::size_t inPiece = static_cast<std::size_t>(size_ % kPieceBytes);
    if (inPiece == 0) pieces_.push_back(std::make_unique<std::uint8_t[]>(kPieceBytes));
    const std::size_t room = std::min(kPieceBytes - inPiece, static_cast<std::size_t>(heldBytes_ - size_));
    const std::size_t n = std::min(room, size);
    std::memcpy(pieces_.back().get() + inPiece, bytes, n);
    bytes += n;
    size -= n;
    size_ += n;
  }
  if (size == 0) return;
  size_ += size;
  if (spool_ == nullptr && !spoolFailed_) {
    spool_ = std::tmpfile();
    spoolFailed_ = spool_ == nullptr;
  }
  if (spoolFailed_) return;
  // Appends follow reads of earlier blocks: the write position is set each time.
  if (!SeekSpool(spool_, spooled_) || std::fwrite(bytes, 1, size, spool_) != size) {
    spoolFailed_ = true;
    return;
  }
  spooled_ += size;
}

bool VgmDataBank::ReadWindow(std::uint64_t offset) {
  windowStart_ = offset - offset % kWindowBytes;
  windowSize_ = 0;
  if (spool_ == nullptr || !SeekSpool(spool_, windowStart_)) return false;
  const std::uint64_t left = spooled_ - windowStart_;
  const std::size_t want = left < kWindowBytes ? static_cast<std::size_t>(left) : kWindowBytes;
  windowSize_ = std::fread(window_.data(), 1, want, spool_);
  return offset - windowStart_ < windowSize_;
}

int VgmDataBank::At(std::uint64_t offset) {
  if (offset >= size_) return kPastEnd;
  if (offset < heldBytes_) return pieces_[static_cast<std::size_t>(offset / kPieceBytes)][offset % kPieceBytes];
  const std::uint64_t at = offset - heldBytes_;
  if (at >= spooled_) return kNotKept;
  if (at < windowStart_ || at - windowStart_ >= windowSize_) {
    if (!ReadWindow(at)) return kNotKept;
  }
  return window_[static_cast<std::size_t>(at - windowStart_)];
}

}  // namespace tavrin
