// ConvertS98File: the checks before anything is written, the header section, the device list, the dump.
#include "engine/convert.h"

#include <memory>

#include "decoders/pitch.h"
#include "engine/dump_walker.h"
#include "engine/file_io.h"
#include "engine/json_report.h"
#include "engine/paths.h"
#include "engine/report_sink.h"
#include "engine/s98_head.h"
#include "engine/selected_walk.h"
#include "engine/stats.h"
#include "engine/tags.h"
#include "engine/timestamp.h"

namespace tavrin {

namespace {

// Takes whatever it is given and keeps none of it: where decoders write for lines not shown.
class DiscardTarget final : public ReportTarget {
 public:
  bool Write(const char* /*data*/, std::size_t /*size*/) override { return true; }
};

void WriteInformationSection(ReportSink& out, const S98Head& head, std::string_view fileName) {
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
}

void WriteDeviceList(ReportSink& out, const S98Head& head) {
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

// What every dump line of one conversion needs besides its command: the decoders and the pitch
// tracker with their state, what each device index stands for, and the options.
struct LineContext {
  LineContext(const S98Head& head, const ConversionOptions& options)
      : slots(ResolveDevices(head, decoders)),
        annotate(options.verbose || options.notes),
        notes(options.notes),
        denominator(head.header.timerDenominator),
        loopOffset(head.header.loopOffset) {}

  DecoderSet decoders;
  DeviceSlots slots;
  PitchTracker pitch;
  bool annotate;
  bool notes;
  std::int32_t denominator;
  std::int32_t loopOffset;
};

inline void WriteCommandLine(ReportSink& out, const DumpCommand& cmd, LineContext& ctx) {
  out.Print<"%08x : %02x ">(cmd.offset, cmd.command);
  for (std::size_t i = 0; i < cmd.countLength; ++i) out.Print<"%02x ">(cmd.countBytes[i]);
  switch (cmd.kind) {
    case CommandKind::Sync:
      if (cmd.command == 0xFF) {
        out.Print<"\t\t[ SYNC 1 (%d)]\t">(cmd.tickCount);
      } else {
        out.Print<"\t[ SYNC %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
      }
      FormatTimestamp(out, cmd.elapsed, ctx.denominator);
      break;
    case CommandKind::End:
      if (ctx.loopOffset != 0) {
        out.Print<"\t\t[ LOOP OFFSET=%08x ]">(ctx.loopOffset);
      } else {
        out.Print<"\t\t[ END ]">();
      }
      break;
    case CommandKind::Write: {
      const DeviceSlot& slot = ctx.slots[static_cast<std::size_t>(cmd.device)];
      out.Print<"%02x %02x\t[ #%02d %s ] ">(cmd.reg, cmd.value, cmd.device, slot.name);
      if (ctx.annotate && slot.decoder != nullptr) {
        slot.decoder->Decode(out, cmd.device, cmd.port, cmd.reg, cmd.value);
      }
      if (ctx.notes && slot.info != nullptr) {
        ctx.pitch.Annotate(out, slot.info->type, slot.info->clock, cmd.device, cmd.port, cmd.reg, cmd.value);
      }
      break;
    }
    case CommandKind::Cut:
      break;
  }
  if (cmd.atLoop) out.Print<" *** LOOP POINT ***">();
  out.Print<"\r\n">();
}

// A line that is not shown still moves the decoders' and the pitch tracker's state, so the lines
// that are shown read exactly as in the whole report; their text goes to `scratch`.
inline void TrackHiddenLine(ReportSink& scratch, const DumpCommand& cmd, LineContext& ctx) {
  if (cmd.kind != CommandKind::Write) return;
  const DeviceSlot& slot = ctx.slots[static_cast<std::size_t>(cmd.device)];
  if (ctx.annotate && slot.decoder != nullptr)
    slot.decoder->Decode(scratch, cmd.device, cmd.port, cmd.reg, cmd.value);
  if (ctx.notes && slot.info != nullptr) {
    ctx.pitch.Annotate(scratch, slot.info->type, slot.info->clock, cmd.device, cmd.port, cmd.reg, cmd.value);
  }
}

// The whole dump, every line: the path of the plain report, kept free of any per-line test.
void WriteDumpSection(ReportSink& out, ByteReader& in, const S98Head& head,
                      const ConversionOptions& options) {
  LineContext ctx(head, options);
  DumpWalker walker(in, head.header);
  DumpCommand cmd;
  while (walker.Next(cmd)) WriteCommandLine(out, cmd, ctx);
}

// The dump with --from, --to, --device or --stats: every command is walked and decoded from the
// start; only the lines inside the window (and of the chosen devices) are written.
void WriteSelectedDumpSection(ReportSink& out, ByteReader& in, const S98Head& head,
                              const ConversionOptions& options, const DumpWindow& window, DumpStats* stats) {
  LineContext ctx(head, options);
  DiscardTarget discard;
  ReportSink scratch(discard);
  WalkSelection(in, head.header, window, stats, [&](const DumpCommand& cmd, bool shown, std::uint64_t) {
    if (shown) {
      WriteCommandLine(out, cmd, ctx);
    } else {
      TrackHiddenLine(scratch, cmd, ctx);
    }
  });
}

void WriteReport(ReportSink& out, ByteReader& in, const S98Head& head, std::string_view fileName,
                 const ConversionOptions& options, const DumpWindow& window) {
  if (options.format == ReportFormat::JsonLines) {
    WriteJsonReport(out, in, head, fileName, options, window);
    return;
  }
  WriteInformationSection(out, head, fileName);
  if (options.tags) WriteTagSection(out, ReadTagBlock(in, head.header));
  WriteDeviceList(out, head);
  const bool selective = options.selection.Active();
  if (!selective && !options.stats) {
    WriteDumpSection(out, in, head, options);
    return;
  }
  std::unique_ptr<DumpStats> stats;
  if (options.stats) stats = std::make_unique<DumpStats>(head, selective);
  WriteSelectedDumpSection(out, in, head, options, window, stats.get());
  if (stats) stats->Write(out);
}

}  // namespace

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           bool verbose, bool skipVersionCheck) {
  return ConvertS98File(input, output,
                        ConversionOptions{.verbose = verbose, .skipVersionCheck = skipVersionCheck});
}

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConversionOptions& options) {
  InputFile file;
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  file.CountReadsInto(options.bytesRead);
  ByteReader in(file);
  S98Head head;
  if (std::string status = ReadHead(in, options.skipVersionCheck, head); !status.empty()) return status;
  if (output != "-" && (output == input || IsSameFile(input, output))) return std::string(kStatusSameFile);
  DumpWindow window;
  if (std::string status = ResolveWindow(options.selection, head.header, window); !status.empty()) {
    return status;
  }

  ReportFile report;
  if (!report.Open(output)) return std::string(kStatusOutputOpenError);
  ReportSink sink(report);
  WriteReport(sink, in, head, HeaderFileName(input), options, window);
  // A report of less than the file must not replace anything: the temporary report is dropped.
  if (in.Failed()) return std::string(kStatusFileReadError);
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
  DumpWindow window;
  if (std::string status = ResolveWindow(options.selection, head.header, window); !status.empty()) {
    return status;
  }
  StringTarget target;
  ReportSink sink(target);
  WriteReport(sink, in, head, fileName, options, window);
  sink.Flush();
  report = std::move(target.text);
  return {};
}

}  // namespace tavrin
