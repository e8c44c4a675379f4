// The VGM builder: relative head offsets filled in from what was added.
#include "tests/support/vgm_builder.h"

#include <zlib.h>

namespace tavrin::testing {

namespace {

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Append16(std::vector<std::uint8_t>& bytes, std::uint32_t unit) {
  bytes.push_back(static_cast<std::uint8_t>(unit));
  bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// UTF-8 to UTF-16LE, NUL-terminated (the tests write well-formed text).
void AppendUtf16(std::vector<std::uint8_t>& bytes, const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = c;
    std::size_t n = 1;
    if (c >= 0xF0) { cp = c & 0x07u; n = 4; }
    else if (c >= 0xE0) { cp = c & 0x0Fu; n = 3; }
    else if (c >= 0xC0) { cp = c & 0x1Fu; n = 2; }
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    i += n;
    if (cp >= 0x10000) {
      Append16(bytes, 0xD800 + ((cp - 0x10000) >> 10));
      Append16(bytes, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      Append16(bytes, cp);
    }
  }
  Append16(bytes, 0);
}

}  // namespace

VgmBuilder& VgmBuilder::Version(std::uint32_t bcd) {
  version_ = bcd;
  return *this;
}

VgmBuilder& VgmBuilder::Clock(std::uint8_t field, std::uint32_t clock) {
  Put32(head_, field, clock);
  return *this;
}

VgmBuilder& VgmBuilder::HeadByte(std::uint8_t at, std::uint8_t value) {
  headBytes_.emplace_back(at, value);
  return *this;
}

VgmBuilder& VgmBuilder::Command(std::initializer_list<std::uint8_t> bytes) {
  data_.insert(data_.end(), bytes);
  return *this;
}

VgmBuilder& VgmBuilder::Wait(std::uint32_t samples) {
  samples_ += samples;
  while (samples > 0) {
    const std::uint32_t n = samples < 0xFFFF ? samples : 0xFFFF;
    Command({0x61, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)});
    samples -= n;
  }
  return *this;
}

VgmBuilder& VgmBuilder::DataBlock(std::uint8_t type, const std::vector<std::uint8_t>& data) {
  const auto size = static_cast<std::uint32_t>(data.size());
  Command({0x67, 0x66, type, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
           static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)});
  data_.insert(data_.end(), data.begin(), data.end());
  return *this;
}

VgmBuilder& VgmBuilder::LoopHere() {
  loopData_ = static_cast<std::uint32_t>(data_.size());
  loopSamples_ = samples_;
  return *this;
}

VgmBuilder& VgmBuilder::End() { return Command({0x66}); }

VgmBuilder& VgmBuilder::Gd3(const std::vector<std::string>& fields) {
  gd3_ = fields;
  return *this;
}

std::uint32_t VgmBuilder::NextOffset() const { return 0x100 + static_cast<std::uint32_t>(data_.size()); }

std::vector<std::uint8_t> VgmBuilder::Build() const {
  std::vector<std::uint8_t> file = head_;
  file[0] = 'V';
  file[1] = 'g';
  file[2] = 'm';
  file[3] = ' ';
  Put32(file, 0x08, version_);
  Put32(file, 0x18, samples_);
  if (version_ >= 0x150) Put32(file, 0x34, 0x100 - 0x34);
  if (loopData_) {
    Put32(file, 0x1C, 0x100 + *loopData_ - 0x1C);
    Put32(file, 0x20, samples_ - loopSamples_);
  }
  file.insert(file.end(), data_.begin(), data_.end());
  if (gd3_) {
    std::vector<std::uint8_t> strings;
    for (const std::string& field : *gd3_) AppendUtf16(strings, field);
    Put32(file, 0x14, static_cast<std::uint32_t>(file.size()) - 0x14);
    const std::size_t at = file.size();
    file.resize(at + 12);
    file[at] = 'G';
    file[at + 1] = 'd';
    file[at + 2] = '3';
    file[at + 3] = ' ';
    Put32(file, at + 4, 0x100);
    Put32(file, at + 8, static_cast<std::uint32_t>(strings.size()));
    file.insert(file.end(), strings.begin(), strings.end());
  }
  Put32(file, 0x04, static_cast<std::uint32_t>(file.size()) - 4);
  for (const auto& [at, value] : headBytes_) file[at] = value;
  return file;
}

std::vector<std::uint8_t> VgmBuilder::BuildGzip() const { return Gzip(Build()); }

std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& plain) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(plain.size())) + 32);
  z.next_in = const_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace tavrin::testing
