// The S98 file head and its device records: layout, decoding, the checks before anything is written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "core/device.h"

namespace tavrin {

// The head and the device records share one buffer; this is how many records it holds.
inline constexpr std::uint32_t MaxDeviceRecords = 64;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kDeviceRecordSize = 16;

// Fields as stored, held signed: offsets compare and print as signed 32-bit values.
struct S98Header {
  std::array<char, 3> magic{};
  std::uint8_t version = 0;
  std::int32_t timerNumerator = 0;    // 0 in the file means 10
  std::int32_t timerDenominator = 0;  // 0 in the file means 1000
  std::int32_t reserved = 0;
  std::int32_t tagOffset = 0;
  std::int32_t dataOffset = 0;
  std::int32_t loopOffset = 0;
  std::int32_t deviceCount = 0;
};

// Stands for the whole device list of a file whose deviceCount is 0.
inline constexpr DeviceInfo kDefaultDevice{static_cast<std::uint32_t>(DeviceType::Opna), 7987200, 255, 0};

// Decodes the 32-byte head; the timer defaults are not applied here.
S98Header ParseHeader(const std::uint8_t* bytes);
DeviceInfo ParseDeviceInfo(const std::uint8_t* bytes);

// Applies the stored-zero defaults of the timer fields.
S98Header WithTimerDefaults(S98Header header);

// What an S98 file says before its dump: the head and the device records.
struct S98Info {
  S98Header header;                 // timer defaults applied
  std::vector<DeviceInfo> devices;  // as stored; empty when deviceCount is 0
};

// Reads the 32-byte head and the device records from the start of `in`. Returns "" or the status
// text of the first check that fails (not S98, version, too many devices, short file).
std::string ReadHead(ByteReader& in, bool skipVersionCheck, S98Info& info);

// The device record a command's device index stands for: every index is the default OPNA when the
// file has no records; an index past the records has none (null).
const DeviceInfo* DeviceRecordFor(const S98Info& info, int device);

// The same for every index at once. Without records only #00 counts as listed: the default device
// stands for every index, but a list of the file's devices names one.
DeviceTable DeviceTableOf(const S98Info& info);

}  // namespace tavrin
