// Block refills and seeks of the input reader.
#include "core/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

ByteReader::ByteReader(std::span<const std::uint8_t> memory)
    : memory_(memory), cur_(memory.data()), end_(memory.data() + memory.size()) {}

ByteReader::ByteReader(ByteSource& source) : source_(&source), block_(new std::uint8_t[kBlockSize]) {
  cur_ = end_ = block_.get();
}

bool ByteReader::Refill() {
  // Once the end has been seen it stays seen: a source is never asked again after returning nothing.
  if (source_ == nullptr || atEnd_) return false;
  const std::size_t got = source_->ReadSome(block_.get(), kBlockSize);
  blockOffset_ += blockSize_;
  blockSize_ = got;
  cur_ = block_.get();
  end_ = cur_ + got;
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  return true;
}

std::size_t ByteReader::Read(std::uint8_t* dest, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (cur_ == end_ && !Refill()) break;
    const std::size_t n = std::min(size - done, static_cast<std::size_t>(end_ - cur_));
    std::memcpy(dest + done, cur_, n);
    cur_ += n;
    done += n;
  }
  return done;
}

void ByteReader::Seek(std::uint64_t offset) {
  if (source_ == nullptr) {
    const std::uint64_t clamped = std::min<std::uint64_t>(offset, memory_.size());
    cur_ = memory_.data() + clamped;
    end_ = memory_.data() + memory_.size();
    return;
  }
  // Within the block in hand (the usual case: the dump follows the device records) nothing is read.
  if (offset >= blockOffset_ && offset <= blockOffset_ + blockSize_) {
    cur_ = block_.get() + (offset - blockOffset_);
    return;
  }
  if (source_->SeekTo(offset)) {
    cur_ = end_ = block_.get();
    blockOffset_ = offset;
    blockSize_ = 0;
    atEnd_ = false;
    return;
  }
  // A pipe: read forward and drop what lies before the place.
  std::uint64_t here = Position();
  if (offset < here) {
    cur_ = end_;
    atEnd_ = true;
    unreachable_ = true;
    return;
  }
  while (here < offset) {
    if (cur_ == end_ && !Refill()) return;
    const std::uint64_t step = std::min<std::uint64_t>(offset - here, static_cast<std::uint64_t>(end_ - cur_));
    cur_ += step;
    here += step;
  }
}

std::uint64_t ByteReader::Position() const {
  if (source_ == nullptr) return static_cast<std::uint64_t>(cur_ - memory_.data());
  return blockOffset_ + static_cast<std::uint64_t>(cur_ - block_.get());
}

}  // namespace tavrin
