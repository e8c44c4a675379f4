// Builds S98 images in memory: head, device records, dump commands and tag, with any field overridable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::testing {

class S98Builder {
 public:
  S98Builder& Version(std::uint8_t version);
  S98Builder& Timer(std::uint32_t numerator, std::uint32_t denominator);
  S98Builder& Device(std::uint32_t type, std::uint32_t clock, std::uint32_t pan = 0);

  // Dump commands, in order.
  S98Builder& Write(int device, int port, std::uint8_t reg, std::uint8_t value);
  S98Builder& Wait(std::uint32_t ticks);  // 1: 0xFF; more: 0xFE with the count n - 2
  S98Builder& Raw(std::initializer_list<std::uint8_t> bytes);
  S98Builder& Raw(const std::vector<std::uint8_t>& bytes);
  S98Builder& LoopHere();  // the next command is the loop point
  S98Builder& End();       // 0xFD

  // A tag block after the dump; tagOffset then points to it.
  S98Builder& Tag(std::string_view bytes);

  // Raw head fields, stored as given (they win over what the builder would compute).
  S98Builder& TagOffset(std::uint32_t offset);
  S98Builder& DataOffset(std::uint32_t offset);
  S98Builder& LoopOffset(std::uint32_t offset);
  S98Builder& DeviceCount(std::uint32_t count);
  S98Builder& Magic(std::string_view threeBytes);

  // File offset the next dump command will have.
  std::uint32_t NextOffset() const;

  std::vector<std::uint8_t> Build() const;
  std::string BuildString() const;

 private:
  std::uint32_t DumpStart() const;

  std::string magic_ = "S98";
  std::uint8_t version_ = '3';
  std::uint32_t numerator_ = 0;
  std::uint32_t denominator_ = 0;
  struct Record {
    std::uint32_t type, clock, pan;
  };
  std::vector<Record> devices_;
  std::vector<std::uint8_t> dump_;
  std::optional<std::uint32_t> loopDumpOffset_;
  std::optional<std::string> tag_;
  std::optional<std::uint32_t> tagOffset_, dataOffset_, loopOffset_, deviceCount_;
};

// One OPNA device keying FM channel 1 on and off: with -v the key-on write is annotated
// ("FM#1 Key-ON/OFF slot: 1 2 3 4"), without it nothing is. The window tests' song.
S98Builder KeyOnSong();

// Little-endian varint of a 0xFE wait for n ticks (n >= 2).
std::vector<std::uint8_t> EncodeWaitCount(std::uint32_t ticks);

// Writes a built image to `path`, replacing the file; false when it could not be written whole.
bool WriteS98File(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace tavrin::testing
