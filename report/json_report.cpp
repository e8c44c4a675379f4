// JSON Lines output: the head object, the command objects (with the report's annotation text under -v),
// then the sections (--stats) as closing objects.
#include <cstdio>
#include <string>

#include "formats/s98/dump_walker.h"
#include "formats/s98/s98_sections.h"
#include "formats/s98/tags.h"
#include "formats/vgm/vgm_sections.h"
#include "formats/vgm/vgm_walker.h"
#include "report/json_line.h"
#include "report/report.h"
#include "report/walk.h"

namespace tavrin {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

double SecondsOf(std::uint64_t ticks, const TickRate& rate) {
  return static_cast<double>(ticks) * rate.numerator / rate.denominator;
}

Json HeadObject(const ReportInput& input) {
  const S98Header& h = input.info.header;
  Json line;
  line["type"] = "head";
  line["file"] = std::string(input.fileName);
  line["version"] = std::string(1, static_cast<char>(h.version));
  line["timerNumerator"] = h.timerNumerator;
  line["timerDenominator"] = h.timerDenominator;
  line["tagOffset"] = h.tagOffset;
  line["dataOffset"] = h.dataOffset;
  line["loopOffset"] = h.loopOffset;
  line["deviceCount"] = h.deviceCount;
  Json devices = Json::array();
  const std::size_t entries = input.info.devices.empty() ? 1 : input.info.devices.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const DeviceInfo& d = input.info.devices.empty() ? kDefaultDevice : input.info.devices[i];
    Json device;
    device["device"] = i;  // as the dump numbers it (#00 up)
    device["type"] = d.type;
    device["name"] = std::string(DeviceName(d.type));
    device["clock"] = d.clock;
    device["pan"] = d.pan;
    devices.push_back(std::move(device));
  }
  line["devices"] = std::move(devices);
  if (input.plan.tags) {
    const TagBlock tag = ReadTagBlock(input.in, h);
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

std::string_view KindName(const Command& cmd) {
  switch (cmd.kind) {
    case CommandKind::Write:
      return "write";
    case CommandKind::Wait:
      return "wait";
    case CommandKind::End:
      return "end";
    case CommandKind::Cut:
      return "cut";
    case CommandKind::Other:
      return "other";
  }
  return "cut";
}

// A reader that shows each command's bytes itself (VGM) writes them from Raw(); the S98 walker's come
// from the command.
template <typename Source>
class JsonWriter {
 public:
  static constexpr bool kWantsTicks = true;  // every object carries the ticks so far
  JsonWriter(ReportSink& out, ByteReader& in, Source& source, WalkContext& ctx)
      : out_(out), in_(in), source_(source), ctx_(ctx) {}

  void Line(const Command& cmd, const WriteEffect& effect, std::uint64_t ticksBefore) {
    if (!ctx_.plan.dump) return;
    // A line counts the ticks of its own wait.
    const std::uint64_t ticks =
        ticksBefore + (cmd.kind == CommandKind::Wait ? static_cast<std::uint32_t>(cmd.ticks) : 0u);
    // The command's first keys are written here, so its raw bytes (a wait count may run to gigabytes)
    // stream out instead of being built as one string.
    out_.Print<"{\"type\":\"command\",\"offset\":%d,\"bytes\":\"">(cmd.offset);
    if constexpr (requires(Source& s) { s.Raw(); }) {
      for (std::uint8_t b : source_.Raw()) PutHex(b);
    } else {
      PutRawBytes(cmd);
    }
    out_.Print<"\"">();
    Json line;
    line["kind"] = KindName(cmd);
    if constexpr (requires(Source& s) { s.Info(); }) {
      if (cmd.kind == CommandKind::Other) {
        WriteVgmOtherText(capture_, cmd, source_.Info());
        capture_.Flush();
        // The text without the tab and brackets that set it apart in the text report.
        std::string_view text = captured_.text;
        while (!text.empty() && (text.front() == '\t' || text.front() == '[' || text.front() == ' ')) text.remove_prefix(1);
        while (!text.empty() && (text.back() == ']' || text.back() == ' ')) text.remove_suffix(1);
        line["text"] = std::string(text);
        captured_.text.clear();
      }
    }
    Finish(cmd, effect, ticks, line);
  }

 private:
  // The S98 command's bytes: the first, the count bytes, register and value (a cut write's as the file has them).
  void PutRawBytes(const Command& cmd) {
    PutHex(cmd.command);
    ForEachCountByte(source_, cmd, 0, [this](std::uint8_t b) { PutHex(b); });
    if (cmd.kind == CommandKind::Write) {
      PutHex(cmd.reg);
      PutHex(cmd.value);
    } else if (cmd.kind == CommandKind::Cut && IsRegisterCommand(cmd)) {
      // A cut register write holds only its first byte; the one or two bytes the file still has
      // after it are read again (the walk is over by then).
      std::uint8_t tail[2];
      in_.Seek(static_cast<std::uint64_t>(static_cast<std::uint32_t>(cmd.offset)) + 1);
      const std::size_t got = in_.Read(tail, sizeof tail);
      for (std::size_t i = 0; i < got; ++i) PutHex(tail[i]);
    }
  }

  void Finish(const Command& cmd, const WriteEffect& effect, std::uint64_t ticks, Json& line) {
    if (IsRegisterCommand(cmd)) {
      line["device"] = cmd.device;
      line["port"] = cmd.port;
      if (cmd.kind == CommandKind::Write) {
        line["register"] = cmd.reg;
        line["value"] = cmd.value;
      }
      line["name"] = std::string(ctx_.Name(cmd.device));
    }
    if (cmd.kind == CommandKind::Wait) line["wait"] = static_cast<std::uint32_t>(cmd.ticks);
    line["ticks"] = ticks;
    line["elapsed"] = SecondsOf(ticks, ctx_.head.rate);
    line["loop"] = cmd.atLoop;
    if (cmd.kind == CommandKind::Write && ctx_.plan.annotate) {
      ctx_.Annotate(capture_, cmd, effect);
      capture_.Flush();
      line["annotation"] = std::move(captured_.text);
      captured_.text.clear();
    }
    // The rest of the object, its opening brace replaced by the comma after "bytes".
    std::string rest = line.dump(-1, ' ', false, Json::error_handler_t::replace);
    rest[0] = ',';
    out_.Append(rest);
    out_.Print<"\n">();
  }

  void PutHex(std::uint8_t byte) {
    const char text[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 15u]};
    out_.Append(std::string_view(text, 2));
  }

  ReportSink& out_;
  ByteReader& in_;
  Source& source_;
  WalkContext& ctx_;
  // The annotation of one write, collected as the report would write it, then taken out.
  StringTarget captured_;
  ReportSink capture_{captured_};
};

}  // namespace

bool WriteJsonReport(ReportSink& out, const ReportInput& input) {
  WriteJsonLine(out, HeadObject(input));
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  DumpWalker walker(input.in, input.info.header);
  WalkDump(walker, ctx, input.window, [&] { return JsonWriter<DumpWalker>(out, input.in, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteJson(out);
  return ctx.anyShown || !input.plan.selective;
}

}  // namespace tavrin

namespace tavrin {

namespace {

Json VgmHeadObject(const VgmReportInput& input) {
  const VgmHeader& h = input.info.header;
  Json line;
  line["type"] = "head";
  line["format"] = "vgm";
  line["file"] = std::string(input.fileName);
  char version[16];
  std::snprintf(version, sizeof version, "%x.%02x", h.version >> 8, h.version & 0xFFu);
  line["version"] = version;
  line["totalSamples"] = h.totalSamples;
  line["loopSamples"] = h.loopSamples;
  line["loopOffset"] = h.loopOffset;
  line["dataOffset"] = h.dataOffset;
  line["gd3Offset"] = h.gd3Offset;
  line["rate"] = h.rate;
  Json devices = Json::array();
  for (const VgmChip& chip : input.info.chips) {
    Json device;
    device["device"] = chip.device;
    device["name"] = std::string(VgmChipName(input.info, chip));
    device["clock"] = chip.clockField & 0x3FFFFFFFu;
    device["second"] = chip.second;
    devices.push_back(std::move(device));
  }
  line["devices"] = std::move(devices);
  if (input.plan.tags) {
    const Gd3Tag tag = ReadGd3Tag(input.in, input.info);
    if (!tag.present) {
      line["tag"] = nullptr;
    } else {
      Json t;
      for (std::size_t i = 0; i < tag.fields.size(); ++i) t[std::string(kGd3FieldNames[i])] = tag.fields[i];
      t["notes"] = tag.notes;
      line["tag"] = std::move(t);
    }
  }
  return line;
}

}  // namespace

void WriteVgmJsonReport(ReportSink& out, const VgmReportInput& input) {
  WriteJsonLine(out, VgmHeadObject(input));
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  VgmWalker walker(input.in, input.info);
  WalkDump(walker, ctx, input.window, [&] { return JsonWriter<VgmWalker>(out, input.in, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteJson(out);
}

}  // namespace tavrin
