// Decoding of the S98 head and device records from their little-endian bytes.
#include "engine/s98.h"

namespace tavrin {

namespace {
std::int32_t Signed(const std::uint8_t* bytes) { return static_cast<std::int32_t>(ReadLE32(bytes)); }
}  // namespace

S98Header ParseHeader(const std::uint8_t* bytes) {
  S98Header h;
  h.magic = {static_cast<char>(bytes[0]), static_cast<char>(bytes[1]), static_cast<char>(bytes[2])};
  h.version = bytes[3];
  h.timerNumerator = Signed(bytes + 4);
  h.timerDenominator = Signed(bytes + 8);
  h.reserved = Signed(bytes + 12);
  h.tagOffset = Signed(bytes + 16);
  h.dataOffset = Signed(bytes + 20);
  h.loopOffset = Signed(bytes + 24);
  h.deviceCount = Signed(bytes + 28);
  return h;
}

DeviceInfo ParseDeviceInfo(const std::uint8_t* bytes) {
  return DeviceInfo{ReadLE32(bytes), Signed(bytes + 4), ReadLE32(bytes + 8), ReadLE32(bytes + 12)};
}

}  // namespace tavrin
