// Reading and checking the head and device records; the device each command index stands for.
#include "engine/s98_head.h"

#include "engine/convert.h"
#include "engine/dump_walker.h"

namespace tavrin {

std::string ReadHead(ByteReader& in, bool skipVersionCheck, S98Head& head) {
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
  head.header = WithTimerDefaults(stored);
  head.devices.clear();
  for (std::uint32_t i = 0; i < count; ++i)
    head.devices.push_back(ParseDeviceInfo(&records[i * kDeviceRecordSize]));
  return {};
}

const DeviceInfo* DeviceRecordFor(const S98Head& head, int device) {
  if (head.devices.empty()) return &kDefaultDevice;
  if (device >= 0 && static_cast<std::size_t>(device) < head.devices.size()) {
    return &head.devices[static_cast<std::size_t>(device)];
  }
  return nullptr;
}

DeviceSlots ResolveDevices(const S98Head& head, DecoderSet& decoders) {
  DeviceSlots slots{};
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = DeviceRecordFor(head, d);
    if (info == nullptr) continue;
    slots[static_cast<std::size_t>(d)] =
        DeviceSlot{DeviceName(info->type), decoders.ForType(info->type), info};
  }
  return slots;
}

}  // namespace tavrin
