// JSON Lines output: the head object, the command objects (with the report's annotation text under -v),
// then the sections (--stats) as closing objects.
#include <algorithm>  // std::copy
#include <array>
#include <cstdio>
#include <string>

#include "formats/s98/dump_walker.h"
#include "formats/s98/s98_sections.h"
#include "formats/s98/tags.h"
#include "formats/vgm/vgm_sections.h"
#include "formats/vgm/vgm_walker.h"
#include "core/json_text.h"
#include "report/json_line.h"
#include "report/report.h"
#include "report/walk.h"

namespace tavrin {

namespace {

void WriteHeadLine(ReportSink& out, const ReportInput& input) {
  const S98Header& h = input.info.header;
  JsonLine line(out);
  line.Field("type", "head").Field("file", input.fileName);
  const char version = static_cast<char>(h.version);
  line.Field("version", std::string_view(&version, 1));
  line.Field("timerNumerator", h.timerNumerator).Field("timerDenominator", h.timerDenominator);
  line.Field("tagOffset", h.tagOffset).Field("dataOffset", h.dataOffset).Field("loopOffset", h.loopOffset);
  line.Field("deviceCount", h.deviceCount).BeginArray("devices");
  const std::size_t entries = input.info.devices.empty() ? 1 : input.info.devices.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const DeviceInfo& d = input.info.devices.empty() ? kDefaultDevice : input.info.devices[i];
    // "device" numbers it as the dump does (#00 up).
    line.BeginObject().Field("device", i).Field("type", d.type).Field("name", DeviceName(d.type));
    line.Field("clock", d.clock).Field("pan", d.pan).EndObject();
  }
  line.EndArray();
  if (input.plan.tags) {
    const TagBlock tag = ReadTagBlock(input.in, h);
    if (tag.form == TagBlock::Form::None) {
      line.Field("tag", nullptr);
    } else {
      line.BeginObject("tag").Field("format", TagFormatText(tag)).Field("lines", tag.lines);
      line.Field("notes", tag.notes).EndObject();
    }
  }
  line.End();
}

// What closes the bytes and names the kind, in the order of CommandKind.
constexpr std::array<std::string_view, 5> kKindTexts = {
    "\",\"kind\":\"write\"", "\",\"kind\":\"wait\"", "\",\"kind\":\"end\"", "\",\"kind\":\"cut\"",
    "\",\"kind\":\"other\""};

// `,"ticks":N,"elapsed":S` changes only at waits, so it is worked out once per wait, not once per line.
class TimeFields {
 public:
  explicit TimeFields(const TickRate& rate) : rate_(rate) { Update(0); }
  std::string_view For(std::uint64_t ticks) {
    if (ticks != ticks_) Update(ticks);
    return {text_, length_};
  }

 private:
  void Update(std::uint64_t ticks) {
    ticks_ = ticks;
    static constexpr std::string_view kTicks = ",\"ticks\":";
    static constexpr std::string_view kElapsed = ",\"elapsed\":";
    char* p = text_;
    p = std::copy(kTicks.begin(), kTicks.end(), p);
    p = WriteJsonUnsigned(p, ticks);
    p = std::copy(kElapsed.begin(), kElapsed.end(), p);
    p = WriteJsonDouble(p, static_cast<double>(ticks) * rate_.numerator / rate_.denominator);
    length_ = static_cast<std::size_t>(p - text_);
  }
  TickRate rate_;
  std::uint64_t ticks_ = 0;
  char text_[32 + 2 * kJsonNumberBound];
  std::size_t length_ = 0;
};

// A reader that shows each command's bytes itself (VGM) writes them from Raw(); the S98 walker's come
// from the command.
template <typename Source>
class JsonWriter {
 public:
  static constexpr bool kWantsTicks = true;  // every object carries the ticks so far
  JsonWriter(ReportSink& out, ByteReader& in, Source& source, WalkContext& ctx)
      : out_(out), in_(in), source_(source), ctx_(ctx), time_(ctx.head.rate) {}

  // One command object: type, offset, bytes (the command as stored, in hex), kind, for register
  // commands device, port (register and value for whole writes) and the device's name, for waits
  // their ticks, then ticks and elapsed seconds so far, whether the loop starts here, and under -v the
  // annotation.
  void Line(const Command& cmd, const WriteEffect& effect, std::uint64_t ticksBefore) {
    if (!ctx_.plan.dump) return;
    // A line counts the ticks of its own wait.
    const std::uint64_t ticks =
        ticksBefore + (cmd.kind == CommandKind::Wait ? static_cast<std::uint32_t>(cmd.ticks) : 0u);
    // The raw bytes stream out (a wait count may run to gigabytes) instead of being built as one string.
    out_.Print<"{\"type\":\"command\",\"offset\":%d,\"bytes\":\"">(cmd.offset);
    if constexpr (requires(Source& s) { s.Raw(); }) {
      for (std::uint8_t b : source_.Raw()) out_.Print<"%02x">(b);
    } else {
      PutRawBytes(cmd);
    }
    out_.Append(kKindTexts[static_cast<std::size_t>(cmd.kind)]);
    if constexpr (requires(Source& s) { s.Info(); }) {
      if (cmd.kind == CommandKind::Other) PutOtherText(cmd);
    }
    if (IsRegisterCommand(cmd)) {
      if (cmd.kind == CommandKind::Write) {
        out_.Print<",\"device\":%d,\"port\":%d,\"register\":%d,\"value\":%d,\"name\":">(cmd.device, cmd.port,
                                                                                         cmd.reg, cmd.value);
      } else {
        out_.Print<",\"device\":%d,\"port\":%d,\"name\":">(cmd.device, cmd.port);
      }
      AppendJsonString(out_, ctx_.Name(cmd.device));
    }
    if (cmd.kind == CommandKind::Wait) {
      out_.Print<",\"wait\":">();
      AppendJsonUnsigned(out_, static_cast<std::uint32_t>(cmd.ticks));
    }
    out_.Print<"%s">(time_.For(ticks));
    PrintEither<",\"loop\":true", ",\"loop\":false">(out_, cmd.atLoop);
    if (cmd.kind == CommandKind::Write && ctx_.plan.annotate) {
      ctx_.Annotate(capture_, cmd, effect);
      out_.Print<",\"annotation\":">();
      AppendJsonString(out_, TakeCaptured());
      captured_.text.clear();
    }
    out_.Print<"}\n">();
  }

 private:
  // The S98 command's bytes: the first, the count bytes, register and value (a cut write's as the file has them).
  void PutRawBytes(const Command& cmd) {
    out_.Print<"%02x">(cmd.command);
    ForEachCountByte(source_, cmd, 0, [this](std::uint8_t b) { out_.Print<"%02x">(b); });
    if (cmd.kind == CommandKind::Write) {
      out_.Print<"%02x%02x">(cmd.reg, cmd.value);
    } else if (cmd.kind == CommandKind::Cut && IsRegisterCommand(cmd)) {
      // A cut register write holds only its first byte; the one or two bytes the file still has
      // after it are read again (the walk is over by then).
      std::uint8_t tail[2];
      in_.Seek(static_cast<std::uint64_t>(static_cast<std::uint32_t>(cmd.offset)) + 1);
      const std::size_t got = in_.Read(tail, sizeof tail);
      for (std::size_t i = 0; i < got; ++i) out_.Print<"%02x">(tail[i]);
    }
  }

  // What the text report says of a command no annotator reads, without the tab and brackets that set
  // it apart there.
  void PutOtherText(const Command& cmd) {
    WriteVgmOtherText(capture_, cmd, source_.Info());
    std::string_view text = TakeCaptured();
    while (!text.empty() && (text.front() == '\t' || text.front() == '[' || text.front() == ' ')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ']' || text.back() == ' ')) text.remove_suffix(1);
    out_.Print<",\"text\":">();
    AppendJsonString(out_, text);
    captured_.text.clear();
  }

  // What was written into capture_ since the last clear.
  std::string_view TakeCaptured() {
    capture_.Flush();
    return captured_.text;
  }

  ReportSink& out_;
  ByteReader& in_;
  Source& source_;
  WalkContext& ctx_;
  TimeFields time_;
  // The annotation of one write, collected as the report would write it, then taken out.
  StringTarget captured_;
  ReportSink capture_{captured_};
};

}  // namespace

bool WriteJsonReport(ReportSink& out, const ReportInput& input) {
  WriteHeadLine(out, input);
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  DumpWalker walker(input.in, input.info.header);
  WalkDump(walker, ctx, input.window, [&] { return JsonWriter<DumpWalker>(out, input.in, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteJson(out);
  return ctx.anyShown || !input.plan.selective;
}

}  // namespace tavrin

namespace tavrin {

namespace {

void WriteVgmHeadLine(ReportSink& out, const VgmReportInput& input) {
  const VgmHeader& h = input.info.header;
  JsonLine line(out);
  line.Field("type", "head").Field("format", "vgm").Field("file", input.fileName);
  char version[16];
  std::snprintf(version, sizeof version, "%x.%02x", h.version >> 8, h.version & 0xFFu);
  line.Field("version", version).Field("totalSamples", h.totalSamples).Field("loopSamples", h.loopSamples);
  line.Field("loopOffset", h.loopOffset).Field("dataOffset", h.dataOffset).Field("gd3Offset", h.gd3Offset);
  line.Field("rate", h.rate).BeginArray("devices");
  for (const VgmChip& chip : input.info.chips) {
    line.BeginObject().Field("device", chip.device).Field("name", VgmChipName(input.info, chip));
    line.Field("clock", chip.clockField & 0x3FFFFFFFu).Field("second", chip.second).EndObject();
  }
  line.EndArray();
  if (input.plan.tags) {
    const Gd3Tag tag = ReadGd3Tag(input.in, input.info);
    if (!tag.present) {
      line.Field("tag", nullptr);
    } else {
      line.BeginObject("tag");
      for (std::size_t i = 0; i < tag.fields.size(); ++i) line.Field(kGd3FieldNames[i], tag.fields[i]);
      line.Field("notes", tag.notes).EndObject();
    }
  }
  line.End();
}

}  // namespace

void WriteVgmJsonReport(ReportSink& out, const VgmReportInput& input) {
  WriteVgmHeadLine(out, input);
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  VgmWalker walker(input.in, input.info);
  WalkDump(walker, ctx, input.window, [&] { return JsonWriter<VgmWalker>(out, input.in, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteJson(out);
}

}  // namespace tavrin
