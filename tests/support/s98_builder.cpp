// S98 image assembly for tests, samples and benchmarks.
#include "tests/support/s98_builder.h"

#include <fstream>

namespace tavrin::testing {

namespace {
void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
}  // namespace

S98Builder KeyOnSong() {
  return S98Builder().Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF1).Wait(1).Write(0, 0, 0x28, 0x01).End();
}

std::vector<std::uint8_t> EncodeWaitCount(std::uint32_t ticks) {
  std::uint32_t value = ticks - 2;
  std::vector<std::uint8_t> bytes;
  do {
    std::uint8_t b = value & 0x7F;
    value >>= 7;
    if (value != 0) b |= 0x80;
    bytes.push_back(b);
  } while (value != 0);
  return bytes;
}

S98Builder& S98Builder::Version(std::uint8_t version) { version_ = version; return *this; }
S98Builder& S98Builder::Timer(std::uint32_t n, std::uint32_t d) { numerator_ = n; denominator_ = d; return *this; }
S98Builder& S98Builder::Device(std::uint32_t type, std::uint32_t clock, std::uint32_t pan) {
  devices_.push_back({type, clock, pan});
  return *this;
}

S98Builder& S98Builder::Write(int device, int port, std::uint8_t reg, std::uint8_t value) {
  dump_.push_back(static_cast<std::uint8_t>(device * 2 + (port & 1)));
  dump_.push_back(reg);
  dump_.push_back(value);
  return *this;
}

S98Builder& S98Builder::Wait(std::uint32_t ticks) {
  if (ticks == 1) {
    dump_.push_back(0xFF);
  } else {
    dump_.push_back(0xFE);
    for (auto b : EncodeWaitCount(ticks)) dump_.push_back(b);
  }
  return *this;
}

S98Builder& S98Builder::Raw(std::initializer_list<std::uint8_t> bytes) {
  dump_.insert(dump_.end(), bytes);
  return *this;
}
S98Builder& S98Builder::Raw(const std::vector<std::uint8_t>& bytes) {
  dump_.insert(dump_.end(), bytes.begin(), bytes.end());
  return *this;
}
S98Builder& S98Builder::LoopHere() { loopDumpOffset_ = static_cast<std::uint32_t>(dump_.size()); return *this; }
S98Builder& S98Builder::End() { dump_.push_back(0xFD); return *this; }
S98Builder& S98Builder::Tag(std::string_view bytes) { tag_ = std::string(bytes); return *this; }
S98Builder& S98Builder::TagOffset(std::uint32_t v) { tagOffset_ = v; return *this; }
S98Builder& S98Builder::DataOffset(std::uint32_t v) { dataOffset_ = v; return *this; }
S98Builder& S98Builder::LoopOffset(std::uint32_t v) { loopOffset_ = v; return *this; }
S98Builder& S98Builder::DeviceCount(std::uint32_t v) { deviceCount_ = v; return *this; }
S98Builder& S98Builder::Magic(std::string_view m) { magic_ = std::string(m.substr(0, 3)); return *this; }

std::uint32_t S98Builder::DumpStart() const { return static_cast<std::uint32_t>(32 + 16 * devices_.size()); }
std::uint32_t S98Builder::NextOffset() const { return DumpStart() + static_cast<std::uint32_t>(dump_.size()); }

std::vector<std::uint8_t> S98Builder::Build() const {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < 3; ++i) out.push_back(i < magic_.size() ? static_cast<std::uint8_t>(magic_[i]) : 0);
  out.push_back(version_);
  PutLE32(out, numerator_);
  PutLE32(out, denominator_);
  PutLE32(out, 0);
  const std::uint32_t dumpStart = DumpStart();
  const std::uint32_t tagStart = dumpStart + static_cast<std::uint32_t>(dump_.size());
  PutLE32(out, tagOffset_.value_or(tag_ ? tagStart : 0));
  PutLE32(out, dataOffset_.value_or(dumpStart));
  PutLE32(out, loopOffset_.value_or(loopDumpOffset_ ? dumpStart + *loopDumpOffset_ : 0));
  PutLE32(out, deviceCount_.value_or(static_cast<std::uint32_t>(devices_.size())));
  for (const auto& d : devices_) {
    PutLE32(out, d.type);
    PutLE32(out, d.clock);
    PutLE32(out, d.pan);
    PutLE32(out, 0);
  }
  out.insert(out.end(), dump_.begin(), dump_.end());
  if (tag_) out.insert(out.end(), tag_->begin(), tag_->end());
  return out;
}

bool WriteS98File(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

std::string S98Builder::BuildString() const {
  auto bytes = Build();
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace tavrin::testing
