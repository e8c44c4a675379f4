// Builds VGM images in memory: head with chip clocks, commands, data blocks, GD3 tag; gzip on request.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::testing {

class VgmBuilder {
 public:
  VgmBuilder& Version(std::uint32_t bcd);                   // 0x171 by default
  VgmBuilder& Clock(std::uint8_t field, std::uint32_t clock);  // a clock field of the head, flags included
  VgmBuilder& HeadByte(std::uint8_t at, std::uint8_t value);  // wins over what the builder computes

  // Commands, in order; the builder keeps the total samples.
  VgmBuilder& Command(std::initializer_list<std::uint8_t> bytes);
  VgmBuilder& Wait(std::uint32_t samples);  // 0x61 runs of up to 65535
  VgmBuilder& DataBlock(std::uint8_t type, const std::vector<std::uint8_t>& data);
  VgmBuilder& LoopHere();
  VgmBuilder& End();  // 0x66

  // A GD3 tag after the commands: eleven strings (UTF-8 here, stored as UTF-16LE).
  VgmBuilder& Gd3(const std::vector<std::string>& fields);

  std::uint32_t NextOffset() const;  // file offset of the next command
  std::vector<std::uint8_t> Build() const;
  std::vector<std::uint8_t> BuildGzip() const;  // the same bytes, gzip-compressed

 private:
  std::uint32_t version_ = 0x171;
  std::vector<std::uint8_t> head_ = std::vector<std::uint8_t>(0x100, 0);
  std::vector<std::uint8_t> data_;
  std::uint32_t samples_ = 0;
  std::optional<std::uint32_t> loopData_;
  std::uint32_t loopSamples_ = 0;
  std::optional<std::vector<std::string>> gd3_;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> headBytes_;
};

// `bytes` gzip-compressed, as a .vgz holds them.
std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& bytes);

}  // namespace tavrin::testing
