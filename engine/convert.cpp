// ConvertS98File: the checks before anything is written, the header section, the device list, the dump.
#include "engine/convert.h"

#include <array>
#include <vector>

#include "engine/dispatch.h"
#include "engine/dump_walker.h"
#include "engine/file_io.h"
#include "engine/paths.h"
#include "engine/report_sink.h"
#include "engine/s98.h"
#include "engine/timestamp.h"
#include "decoders/pitch.h"

namespace tavrin {

namespace {

// The head and device records, read and checked before any output exists.
struct S98Head {
  S98Header header;  // timer defaults applied
  std::vector<DeviceInfo> devices;  // as stored; empty when deviceCount is 0
};

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
  for (std::uint32_t i = 0; i < count; ++i) head.devices.push_back(ParseDeviceInfo(&records[i * kDeviceRecordSize]));
  return {};
}

void WriteHeaderSection(ReportSink& out, const S98Head& head, std::string_view fileName) {
  const S98Header& h = head.header;
  out.Print<"[ S98 Information ]\r\n">();
  out.Print<"Filename       = %s\r\n">(fileName);
  out.Print<"Format Version = %c\r\n">(h.version);
  out.Print<"Timer Period   = %d/%d (%f msec)\r\n">(
      h.timerNumerator, h.timerDenominator,
      static_cast<double>(h.timerNumerator) / static_cast<double>(h.timerDenominator) * 1000.0);
  out.Print<"Tag Offset     = 0x%08x">(h.tagOffset);
  if (h.tagOffset != 0) {
    out.Print<"\r\n">();
  } else {
    out.Print<" (no tag)\r\n">();
  }
  out.Print<"Data Offset    = 0x%08x\r\n">(h.dataOffset);
  out.Print<"Loop Offset    = 0x%08x">(h.loopOffset);
  if (h.loopOffset != 0) {
    out.Print<"\r\n">();
  } else {
    out.Print<" (no loop)\r\n">();
  }
  out.Print<"Device Count   = %d\r\n\r\n">(h.deviceCount);

  out.Print<"[ Device List ]\r\n">();
  const std::size_t entries = head.devices.empty() ? 1 : head.devices.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const DeviceInfo& d = head.devices.empty() ? kDefaultDevice : head.devices[i];
    out.Print<"#%02d %-16s Clock: %dHz  PAN: ">(static_cast<int>(i + 1), DeviceName(d.type), d.clock);
    char bits[8];
    for (int bit = 7; bit >= 0; --bit) bits[7 - bit] = (d.pan >> bit) & 1u ? '1' : '0';
    out.Append(std::string_view(bits, sizeof bits));
    out.Print<"\r\n">();
  }
  out.Print<"\r\n[ Dump Data ]\r\n">();
}

// What a command byte's device index stands for: its display name and its decoder.
struct DeviceSlot {
  std::string_view name = kUnknownDeviceName;
  DetailDecoder* decoder = nullptr;
  const DeviceInfo* info = nullptr;  // null for an index without a record
};

std::array<DeviceSlot, kDeviceIndexCount> ResolveDevices(const S98Head& head, DecoderSet& decoders) {
  std::array<DeviceSlot, kDeviceIndexCount> slots{};
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    // Without records every index is the default OPNA; an index past the records has no device.
    const DeviceInfo* info = nullptr;
    if (head.devices.empty()) {
      info = &kDefaultDevice;
    } else if (static_cast<std::size_t>(d) < head.devices.size()) {
      info = &head.devices[static_cast<std::size_t>(d)];
    } else {
      continue;
    }
    slots[static_cast<std::size_t>(d)] = DeviceSlot{DeviceName(info->type), decoders.ForType(info->type), info};
  }
  return slots;
}

void WriteDumpSection(ReportSink& out, ByteReader& in, const S98Head& head, const ConversionOptions& options) {
  DecoderSet decoders;
  const auto slots = ResolveDevices(head, decoders);
  const bool annotate = options.verbose || options.notes;
  PitchTracker pitch;
  const std::int32_t denominator = head.header.timerDenominator;
  DumpWalker walker(in, head.header);
  DumpCommand cmd;
  while (walker.Next(cmd)) {
    out.Print<"%08x : %02x ">(cmd.offset, cmd.command);
    for (std::size_t i = 0; i < cmd.countLength; ++i) out.Print<"%02x ">(cmd.countBytes[i]);
    switch (cmd.kind) {
      case CommandKind::Sync:
        if (cmd.command == 0xFF) {
          out.Print<"\t\t[ SYNC 1 (%d)]\t">(cmd.tickCount);
        } else {
          out.Print<"\t[ SYNC %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
        }
        FormatTimestamp(out, cmd.elapsed, denominator);
        break;
      case CommandKind::End:
        if (head.header.loopOffset != 0) {
          out.Print<"\t\t[ LOOP OFFSET=%08x ]">(head.header.loopOffset);
        } else {
          out.Print<"\t\t[ END ]">();
        }
        break;
      case CommandKind::Write: {
        const DeviceSlot& slot = slots[static_cast<std::size_t>(cmd.device)];
        out.Print<"%02x %02x\t[ #%02d %s ] ">(cmd.reg, cmd.value, cmd.device, slot.name);
        if (annotate && slot.decoder != nullptr) {
          slot.decoder->Decode(out, cmd.device, cmd.port, cmd.reg, cmd.value);
        }
        if (options.notes && slot.info != nullptr) {
          pitch.Annotate(out, slot.info->type, slot.info->clock, cmd.device, cmd.port, cmd.reg, cmd.value);
        }
        break;
      }
      case CommandKind::Cut:
        break;
    }
    if (cmd.atLoop) out.Print<" *** LOOP POINT ***">();
    out.Print<"\r\n">();
  }
}

void WriteReport(ReportSink& out, ByteReader& in, const S98Head& head, std::string_view fileName,
                 const ConversionOptions& options) {
  WriteHeaderSection(out, head, fileName);
  WriteDumpSection(out, in, head, options);
}

}  // namespace

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           bool verbose, bool skipVersionCheck) {
  return ConvertS98File(input, output, ConversionOptions{.verbose = verbose, .skipVersionCheck = skipVersionCheck});
}

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConversionOptions& options) {
  InputFile file;
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  S98Head head;
  if (std::string status = ReadHead(in, options.skipVersionCheck, head); !status.empty()) return status;
  if (output != "-" && (output == input || IsSameFile(input, output))) return std::string(kStatusSameFile);

  ReportFile report;
  if (!report.Open(output)) return std::string(kStatusOutputOpenError);
  ReportSink sink(report);
  WriteReport(sink, in, head, HeaderFileName(input), options);
  const bool flushed = sink.Flush();
  if (!report.Commit() || !flushed) return std::string(kStatusWriteError);
  return {};
}

std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report) {
  report.clear();
  ByteReader in(input);
  S98Head head;
  if (std::string status = ReadHead(in, options.skipVersionCheck, head); !status.empty()) return status;
  StringTarget target;
  ReportSink sink(target);
  WriteReport(sink, in, head, fileName, options);
  sink.Flush();
  report = std::move(target.text);
  return {};
}

}  // namespace tavrin
