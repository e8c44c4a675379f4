// The devices of a log: type codes and their names, one device's record, what each device index stands for.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrin {

// Chips are named by the type codes S98 gave them; a reader of another log format maps its chips onto
// these codes, so everything above the readers knows one numbering.
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

// One device of a log.
struct DeviceInfo {
  std::uint32_t type = 0;  // a DeviceType code; any 32-bit value may be stored
  std::int32_t clock = 0;
  std::uint32_t pan = 0;
  std::uint32_t reserved = 0;
  // What the log says of the chip beyond its type and clock; 0: nothing (S98 says nothing). A DCSG
  // takes the SN76489 word of a VGM head: bits 15-0 noise feedback taps, 23-16 shift register width,
  // 31-24 flags (chips/dcsg reads them).
  std::uint32_t variant = 0;
};

// Register writes address device indexes 0 to 126 (the S98 command byte 0xFC >> 1 is the highest);
// everything that keeps state per device keeps one record for each.
inline constexpr int kDeviceIndexCount = 127;

// What each device index of one log stands for.
struct DeviceTable {
  std::array<DeviceInfo, kDeviceIndexCount> info{};
  std::bitset<kDeviceIndexCount> present;  // a device stands behind the index
  std::bitset<kDeviceIndexCount> listed;   // the log lists it (lists show it even when it is never written)

  // Null for an index without a device.
  const DeviceInfo* Find(int device) const {
    return device >= 0 && device < kDeviceIndexCount && present[static_cast<std::size_t>(device)]
               ? &info[static_cast<std::size_t>(device)]
               : nullptr;
  }
};

}  // namespace tavrin
