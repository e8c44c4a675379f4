// The head and device records of one file, read and checked before any output exists, and what each device
// index stands for.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/detail_decoder.h"
#include "engine/dispatch.h"
#include "engine/dump_walker.h"
#include "engine/s98.h"

namespace tavrin {

struct S98Head {
  S98Header header;                 // timer defaults applied
  std::vector<DeviceInfo> devices;  // as stored; empty when deviceCount is 0
};

// Reads the 32-byte head and the device records from the start of `in`. Returns "" or the status
// text of the first check that fails (not S98, version, too many devices, short file).
std::string ReadHead(ByteReader& in, bool skipVersionCheck, S98Head& head);

// The device record a command's device index stands for: every index is the default OPNA when the
// file has no records; an index past the records has none (null).
const DeviceInfo* DeviceRecordFor(const S98Head& head, int device);

// What a command byte's device index stands for: its display name and its decoder.
struct DeviceSlot {
  std::string_view name = kUnknownDeviceName;
  DetailDecoder* decoder = nullptr;
  const DeviceInfo* info = nullptr;  // null for an index without a record
};

using DeviceSlots = std::array<DeviceSlot, kDeviceIndexCount>;

// Decoders come from `decoders`, which must outlive the slots.
DeviceSlots ResolveDevices(const S98Head& head, DecoderSet& decoders);

// Bytes of the command as far as the walker has shown them: a cut register write counts its
// command byte only (the bytes read after it are not kept).
inline std::size_t CommandLength(const DumpCommand& cmd) {
  if (cmd.kind == CommandKind::Write) return 3;
  return 1 + cmd.countLength;
}

// A command that writes a register line: 0x00 to 0xFC, whole or cut.
inline bool IsRegisterCommand(const DumpCommand& cmd) { return cmd.command < 0xFD; }

}  // namespace tavrin
