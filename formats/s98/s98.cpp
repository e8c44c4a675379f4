// Decoding and checking of the S98 head and device records.
#include "formats/s98/s98.h"

#include "core/status.h"

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

S98Header WithTimerDefaults(S98Header header) {
  if (header.timerNumerator == 0) header.timerNumerator = 10;
  if (header.timerDenominator == 0) header.timerDenominator = 1000;
  return header;
}

std::string ReadHead(ByteReader& in, bool skipVersionCheck, S98Info& info) {
  std::array<std::uint8_t, kHeaderSize> bytes{};
  if (in.Read(bytes.data(), bytes.size()) < bytes.size()) return std::string(kStatusFileReadError);
  const S98Header stored = ParseHeader(bytes.data());
  if (stored.magic[0] != 'S' || stored.magic[1] != '9' || stored.magic[2] != '8') {
    return std::string(kStatusNotS98);
  }
  // Bytes below '0' pass too: the version is taken as unsigned minus '0' and only "more than 3" fails.
  if (!skipVersionCheck && stored.version > '3') return std::string(kStatusVersionError);
  const auto count = static_cast<std::uint32_t>(stored.deviceCount);
  if (count > MaxDeviceRecords) return std::string(kStatusTooManyDevices);

  std::array<std::uint8_t, MaxDeviceRecords * kDeviceRecordSize> records{};
  const std::size_t recordBytes = count * kDeviceRecordSize;
  if (in.Read(records.data(), recordBytes) < recordBytes) return std::string(kStatusFileReadError);
  info.header = WithTimerDefaults(stored);
  info.devices.clear();
  for (std::uint32_t i = 0; i < count; ++i)
    info.devices.push_back(ParseDeviceInfo(&records[i * kDeviceRecordSize]));
  return {};
}

const DeviceInfo* DeviceRecordFor(const S98Info& info, int device) {
  if (info.devices.empty()) return &kDefaultDevice;
  if (device >= 0 && static_cast<std::size_t>(device) < info.devices.size()) {
    return &info.devices[static_cast<std::size_t>(device)];
  }
  return nullptr;
}

DeviceTable DeviceTableOf(const S98Info& info) {
  DeviceTable table;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* record = DeviceRecordFor(info, d);
    if (record == nullptr) continue;
    const auto i = static_cast<std::size_t>(d);
    table.info[i] = *record;
    table.present[i] = true;
    table.listed[i] = !info.devices.empty() || d == 0;
  }
  return table;
}

}  // namespace tavrin
