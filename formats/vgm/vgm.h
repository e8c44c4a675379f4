// The VGM file head: fields by version, the chips whose clock is set, the command-length rules.
//
// Rules from the published VGM format description (VGM Spec v1.50 to v1.71, smspower.org,
// https://www.smspower.org/uploads/Music/vgmspec170.txt and vgmspec171.txt) and the GD3 tag
// description (GD3 Spec v1.00, https://www.smspower.org/uploads/Music/gd3spec100.txt). Offsets in the
// head are relative to the field that holds them; every integer is little-endian and unsigned.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/command.h"
#include "core/device.h"

namespace tavrin {

inline constexpr std::size_t kVgmHeadMax = 0x100;  // the largest head any version defines
inline constexpr std::int32_t kVgmSampleRate = 44100;

// One chip the head can give a clock: where its clock lies, what Tavrin calls it.
struct VgmChipKind {
  std::uint8_t clockField;  // head offset of the 32-bit clock
  std::string_view name;    // as the VGM description names it
  DeviceType type;          // DeviceType::None: Tavrin does not decode it
};

// A chip present in one file: the first or the second of its kind, at a device index of the dump.
struct VgmChip {
  std::size_t kind = 0;  // index into VgmChipKinds()
  bool second = false;   // the dual-chip bit (bit 30 of the clock) set: the second chip
  int device = 0;        // its number in the device list and the dump
  std::uint32_t clockField = 0;  // the clock field as stored (bits 31 and 30 are flags)
};

struct VgmHeader {
  std::uint32_t version = 0;  // binary-coded decimal: 0x00000171 is 1.71
  std::uint32_t eofOffset = 0;  // absolute (stored relative to 0x04)
  std::uint32_t gd3Offset = 0;  // absolute; 0: no tag
  std::uint32_t totalSamples = 0;
  std::uint32_t loopOffset = 0;  // absolute; 0: no loop
  std::uint32_t loopSamples = 0;
  std::uint32_t rate = 0;
  std::uint32_t dataOffset = 0;  // absolute (0x40 before 1.50 or when stored as 0)
  std::uint16_t snFeedback = 0;
  std::uint8_t snShiftWidth = 0;
  std::uint8_t snFlags = 0;
  std::uint8_t ayType = 0;
  std::uint8_t ayFlags = 0;
  std::uint8_t ym2203AyFlags = 0;
  std::uint8_t ym2608AyFlags = 0;
  std::uint8_t volumeModifier = 0;
  std::uint8_t loopBase = 0;
  std::uint8_t loopModifier = 0;
  std::uint32_t headSize = 0;  // bytes of the head that count; fields past it read as 0
};

struct VgmInfo {
  VgmHeader header;
  std::array<std::uint8_t, kVgmHeadMax> head{};  // the head bytes that count, zero past headSize
  std::vector<VgmChip> chips;                   // clock set, in device-list order
  std::uint64_t fileSize = 0;                   // bytes of the (decompressed) file the head was read from
};

// The chips the head knows, in the order of their clock fields.
const std::vector<VgmChipKind>& VgmChipKinds();

// True when `bytes` (at least 4) start a VGM file or a gzip stream.
bool LooksLikeVgm(const std::uint8_t* bytes, std::size_t size);
bool LooksLikeGzip(const std::uint8_t* bytes, std::size_t size);

// Reads the head from the start of `in`; "" or the status text (not VGM, short file).
std::string ReadVgmHead(ByteReader& in, VgmInfo& info);

// The device index the dump gives a chip of `kind` (first or second), or -1 when its clock is 0.
int VgmDeviceOf(const VgmInfo& info, std::size_t kind, bool second);

// The decoded chips at their device indexes.
DeviceTable DeviceTableOf(const VgmInfo& info);

// Ticks are samples at 44,100 per second.
StreamHead StreamHeadOf(const VgmInfo& info);

// Where the commands must stop at the latest: the GD3 tag or the end-of-file offset, whichever comes
// first after the data offset; kOffsetLimit without either. `atTag`: the tag is the bound.
std::uint32_t VgmStreamBound(const VgmHeader& header, bool& atTag);

// The length of each command by its first byte, that byte included, for a file of `version`; 0 when
// the format gives the byte no length (the walk cannot go on past it). A data block (0x67) counts its
// 7-byte head; the data follow.
std::array<std::uint8_t, 256> VgmCommandLengths(std::uint32_t version);

// The chip kind of the name, for the kinds the commands below address.
std::size_t VgmKindIndex(std::string_view name);

}  // namespace tavrin
