// Block refills and seeks of the input reader.
#include "engine/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

ByteReader::ByteReader(std::span<const std::uint8_t> memory)
    : memory_(memory), cur_(memory.data()), end_(memory.data() + memory.size()) {}

ByteReader::ByteReader(ByteSource& source) : source_(&source), block_(new std::uint8_t[kBlockSize]) {}

bool ByteReader::Refill() {
  // Once the end has been seen it stays seen: a source is never asked again after returning nothing.
  if (source_ == nullptr || atEnd_) return false;
  const std::size_t got = source_->ReadSome(block_.get(), kBlockSize);
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  cur_ = block_.get();
  end_ = cur_ + got;
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
  cur_ = end_ = nullptr;
  atEnd_ = !source_->SeekTo(offset);
}

}  // namespace tavrin
