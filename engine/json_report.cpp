// JSON Lines output: the head object, the command objects (with the report's annotation text under -v),
// and with --stats a closing statistics object.
#include "engine/json_report.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "decoders/pitch.h"
#include "engine/dump_walker.h"
#include "engine/paths.h"
#include "engine/selected_walk.h"
#include "engine/stats.h"
#include "engine/tags.h"

namespace tavrin {

namespace {

// Keys stay in the order they are set, so lines read the same way every time.
using Json = nlohmann::ordered_json;

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& text, std::uint8_t byte) {
  text.push_back(kHexDigits[byte >> 4]);
  text.push_back(kHexDigits[byte & 15u]);
}

// One object per line; text that is not UTF-8 is replaced rather than refused.
void WriteLine(ReportSink& out, const Json& line) {
  out.Append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
  out.Print<"\n">();
}

double SecondsOf(std::uint64_t ticks, const S98Header& header) {
  return static_cast<double>(ticks) * header.timerNumerator / header.timerDenominator;
}

Json HeadObject(const S98Head& head, std::string_view fileName, const ConversionOptions& options,
                ByteReader& in) {
  const S98Header& h = head.header;
  Json line;
  line["type"] = "head";
  line["file"] = std::string(fileName);
  line["version"] = std::string(1, static_cast<char>(h.version));
  line["timerNumerator"] = h.timerNumerator;
  line["timerDenominator"] = h.timerDenominator;
  line["tagOffset"] = h.tagOffset;
  line["dataOffset"] = h.dataOffset;
  line["loopOffset"] = h.loopOffset;
  line["deviceCount"] = h.deviceCount;
  Json devices = Json::array();
  const std::size_t entries = head.devices.empty() ? 1 : head.devices.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const DeviceInfo& d = head.devices.empty() ? kDefaultDevice : head.devices[i];
    Json device;
    device["device"] = i;  // as the dump numbers it (#00 up)
    device["type"] = d.type;
    device["name"] = std::string(DeviceName(d.type));
    device["clock"] = d.clock;
    device["pan"] = d.pan;
    devices.push_back(std::move(device));
  }
  line["devices"] = std::move(devices);
  if (options.tags) {
    const TagBlock tag = ReadTagBlock(in, h);
    if (tag.form == TagBlock::Form::None) {
      line["tag"] = nullptr;
    } else {
      Json t;
      t["format"] = std::string(TagFormatText(tag));
      t["lines"] = tag.lines;
      t["notes"] = tag.notes;
      line["tag"] = std::move(t);
    }
  }
  return line;
}

std::string_view EndKindName(DumpStats::EndKind kind) {
  switch (kind) {
    case DumpStats::EndKind::NoCommand:
      return "no-command";
    case DumpStats::EndKind::EndCommand:
      return "end-command";
    case DumpStats::EndKind::Cut:
      return "cut";
    case DumpStats::EndKind::TagBound:
      return "tag-offset";
    case DumpStats::EndKind::EndOfFile:
      return "end-of-file";
  }
  return "end-of-file";
}

Json StatsObject(const DumpStats& stats) {
  Json line;
  line["type"] = "stats";
  line["counted"] = stats.selective() ? "shown" : "all";
  line["commands"] = stats.commands();
  line["writes"] = stats.writes();
  line["waits"] = stats.waits();
  line["waitTicks"] = stats.waitTicks();
  line["durationTicks"] = stats.totalTicks();
  line["durationSeconds"] = stats.Seconds(stats.totalTicks());
  if (stats.loopFound()) {
    Json loop;
    loop["offset"] = stats.loopOffset();
    loop["tick"] = stats.loopTick();
    loop["seconds"] = stats.Seconds(stats.loopTick());
    loop["lengthTicks"] = stats.totalTicks() - stats.loopTick();
    loop["lengthSeconds"] = stats.Seconds(stats.totalTicks() - stats.loopTick());
    line["loop"] = std::move(loop);
  } else {
    line["loop"] = nullptr;
  }
  line["end"] = Json{{"kind", std::string(EndKindName(stats.endKind()))}, {"offset", stats.endOffset()}};
  Json devices = Json::array();
  for (const DumpStats::DeviceRow& row : stats.Devices()) {
    Json device;
    device["device"] = row.device;
    device["name"] = std::string(row.name);
    device["writes"] = {row.writes[0], row.writes[1]};
    if (row.hasKeyOn) {
      Json keyOn = Json::object();
      for (const DumpStats::KeyOnCount& k : row.keyOns) keyOn[k.label] = k.count;
      device["keyOn"] = std::move(keyOn);
    }
    Json registers = Json::array();
    for (const DumpStats::RegisterCount& r : row.registers) {
      registers.push_back(Json{{"port", r.port}, {"register", r.reg}, {"count", r.count}});
    }
    device["registers"] = std::move(registers);
    devices.push_back(std::move(device));
  }
  line["devices"] = std::move(devices);
  return line;
}

// The raw bytes of a command. A cut register write has only its command byte in `cmd`; the one or
// two bytes the file still holds after it are read again (the walk is over by then).
std::string CommandBytes(const DumpCommand& cmd, ByteReader& in) {
  std::string hex;
  AppendHex(hex, cmd.command);
  for (std::size_t i = 0; i < cmd.countLength; ++i) AppendHex(hex, cmd.countBytes[i]);
  if (cmd.kind == CommandKind::Write) {
    AppendHex(hex, cmd.reg);
    AppendHex(hex, cmd.value);
  } else if (cmd.kind == CommandKind::Cut && IsRegisterCommand(cmd)) {
    std::uint8_t tail[2];
    in.Seek(static_cast<std::uint64_t>(static_cast<std::uint32_t>(cmd.offset)) + 1);
    const std::size_t got = in.Read(tail, sizeof tail);
    for (std::size_t i = 0; i < got; ++i) AppendHex(hex, tail[i]);
  }
  return hex;
}

std::string_view KindName(const DumpCommand& cmd) {
  switch (cmd.kind) {
    case CommandKind::Write:
      return "write";
    case CommandKind::Sync:
      return "wait";
    case CommandKind::End:
      return "end";
    case CommandKind::Cut:
      return "cut";
  }
  return "cut";
}

}  // namespace

void WriteJsonReport(ReportSink& out, ByteReader& in, const S98Head& head, std::string_view fileName,
                     const ConversionOptions& options, const DumpWindow& window) {
  WriteLine(out, HeadObject(head, fileName, options, in));

  DecoderSet decoders;
  const DeviceSlots slots = ResolveDevices(head, decoders);
  PitchTracker pitch;
  const bool annotate = options.verbose || options.notes;
  // The annotation of one write, collected as the report would write it, then taken out.
  StringTarget captured;
  ReportSink capture(captured);
  std::unique_ptr<DumpStats> stats;
  if (options.stats) stats = std::make_unique<DumpStats>(head, options.selection.Active());

  WalkSelection(in, head.header, window, stats.get(), [&](const DumpCommand& cmd, bool shown,
                                                         std::uint64_t ticksBefore) {
    // A line counts the ticks of its own wait.
    const std::uint64_t ticks =
        ticksBefore + (cmd.kind == CommandKind::Sync ? static_cast<std::uint32_t>(cmd.ticks) : 0u);
    const DeviceSlot& slot = slots[static_cast<std::size_t>(cmd.device)];
    if (cmd.kind == CommandKind::Write && annotate) {
      if (slot.decoder != nullptr) slot.decoder->Decode(capture, cmd.device, cmd.port, cmd.reg, cmd.value);
      if (options.notes && slot.info != nullptr) {
        pitch.Annotate(capture, slot.info->type, slot.info->clock, cmd.device, cmd.port, cmd.reg, cmd.value);
      }
      capture.Flush();
    }
    if (!shown) {
      captured.text.clear();
      return;
    }
    Json line;
    line["type"] = "command";
    line["offset"] = cmd.offset;
    line["bytes"] = CommandBytes(cmd, in);
    line["kind"] = KindName(cmd);
    if (IsRegisterCommand(cmd)) {
      line["device"] = cmd.device;
      line["port"] = cmd.port;
      if (cmd.kind == CommandKind::Write) {
        line["register"] = cmd.reg;
        line["value"] = cmd.value;
      }
      line["name"] = std::string(slot.name);
    }
    if (cmd.kind == CommandKind::Sync) line["wait"] = static_cast<std::uint32_t>(cmd.ticks);
    line["ticks"] = ticks;
    line["elapsed"] = SecondsOf(ticks, head.header);
    line["loop"] = cmd.atLoop;
    if (cmd.kind == CommandKind::Write && annotate) {
      line["annotation"] = std::move(captured.text);
      captured.text.clear();
    }
    WriteLine(out, line);
  });
  if (stats != nullptr) WriteLine(out, StatsObject(*stats));
}

std::filesystem::path JsonLinesPathFor(const std::filesystem::path& input) {
  // The report's path always ends in ".txt"; only that ending changes.
  std::filesystem::path::string_type text = ReportPathFor(input).native();
  text.resize(text.size() - std::filesystem::path(".txt").native().size());
  text += std::filesystem::path(".jsonl").native();
  return text;
}

}  // namespace tavrin
