// The S98 file head, its device records and the device type codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrin {

// Four bytes at `bytes`, least significant first.
constexpr std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

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

struct DeviceInfo {
  std::uint32_t type = 0;  // a DeviceType code; any 32-bit value may be stored
  std::int32_t clock = 0;
  std::uint32_t pan = 0;
  std::uint32_t reserved = 0;
};

enum class DeviceType : std::uint32_t {
  None = 0,
  Psg = 1,   // YM2149
  Opn = 2,   // YM2203
  Opn2 = 3,  // YM2612
  Opna = 4,  // YM2608
  Opm = 5,   // YM2151
  Opll = 6,  // YM2413
  Opl = 7,   // YM3526
  Opl2 = 8,  // YM3812
  Opl3 = 9,  // YMF262
  Ay8910 = 15,
  Dcsg = 16,  // SN76489
};

inline constexpr std::size_t kDeviceTypeCount = 17;

inline constexpr std::array<std::string_view, kDeviceTypeCount> DeviceNameTable = {
    "NONE",         "PSG(YM2149)",  "OPN(YM2203)",  "OPN2(YM2612)", "OPNA(YM2608)", "OPM(YM2151)",
    "OPLL(YM2413)", "OPL(YM3526)",  "OPL2(YM3812)", "OPL3(YMF262)", "[ UNKNOWN ]",  "[ UNKNOWN ]",
    "[ UNKNOWN ]",  "[ UNKNOWN ]",  "[ UNKNOWN ]",  "PSG(AY-3-8910)", "DCSG(SN76489)",
};

inline constexpr std::string_view kUnknownDeviceName = "[ UNKNOWN ]";

// Every code outside 0..16, top bit set included, is unknown.
constexpr std::string_view DeviceName(std::uint32_t type) {
  return type < kDeviceTypeCount ? DeviceNameTable[type] : kUnknownDeviceName;
}

// Stands for the whole device list of a file whose deviceCount is 0.
inline constexpr DeviceInfo kDefaultDevice{static_cast<std::uint32_t>(DeviceType::Opna), 7987200, 255, 0};

// Decodes the 32-byte head; the timer defaults are not applied here.
S98Header ParseHeader(const std::uint8_t* bytes);
DeviceInfo ParseDeviceInfo(const std::uint8_t* bytes);

}  // namespace tavrin
