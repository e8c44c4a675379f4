// The text report: the log's head sections, one line per command with its annotation, the statistics.
#include "core/timestamp.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/s98_sections.h"
#include "formats/s98/tags.h"
#include "report/report.h"
#include "report/walk.h"

namespace tavrin {

namespace {

class TextWriter {
 public:
  static constexpr bool kWantsTicks = false;  // the lines show the wait's own running count
  TextWriter(ReportSink& out, CommandSource& source, WalkContext& ctx)
      : out_(out), source_(source), ctx_(ctx), clock_(ctx.head.rate.denominator) {}

  // Few Prints per line: each costs a check for room besides its text. A write's device tag is copied
  // whole (WalkContext::PrintTag).
  [[gnu::always_inline]] void Line(const Command& cmd, const WriteEffect& effect, std::uint64_t /*ticksBefore*/) {
    switch (cmd.kind) {
      case CommandKind::Write:
        out_.Print<"%08x : %02x %02x %02x">(cmd.offset, cmd.command, cmd.reg, cmd.value);
        if (!ctx_.plan.annotate && !cmd.atLoop) {
          ctx_.PrintTag(out_, cmd.device, true);
          return;
        }
        ctx_.PrintTag(out_, cmd.device, false);
        if (ctx_.plan.annotate) ctx_.Annotate(out_, cmd, effect);
        break;
      case CommandKind::Wait:
        if (cmd.countLength == 0) {
          out_.Print<"%08x : %02x \t\t[ SYNC 1 (%d)]\t">(cmd.offset, cmd.command, cmd.tickCount);
        } else {
          PrintHead(cmd);
          out_.Print<"\t[ SYNC %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
        }
        clock_.Format(out_, cmd.elapsed);
        break;
      case CommandKind::End:
        if (ctx_.head.loopOffset != 0) {
          out_.Print<"%08x : %02x \t\t[ LOOP OFFSET=%08x ]">(cmd.offset, cmd.command, ctx_.head.loopOffset);
        } else {
          out_.Print<"%08x : %02x \t\t[ END ]">(cmd.offset, cmd.command);
        }
        break;
      case CommandKind::Cut:
      case CommandKind::Other:
        PrintHead(cmd);
        break;
    }
    if (cmd.atLoop) out_.Print<" *** LOOP POINT ***">();
    out_.Print<"\r\n">();
  }

 private:
  // The offset, the command byte and its count bytes, each followed by a blank.
  void PrintHead(const Command& cmd) {
    out_.Print<"%08x : %02x ">(cmd.offset, cmd.command);
    for (std::size_t i = 0; i < cmd.countHeld; ++i) out_.Print<"%02x ">(cmd.countBytes[i]);
    if (cmd.countLength > cmd.countHeld) PrintCountBytesReadAgain(cmd);
  }

  // A wait count longer than the walker holds: the rest of its bytes, read again from the input.
  [[gnu::noinline]] void PrintCountBytesReadAgain(const Command& cmd) {
    ForEachCountByte(source_, cmd, cmd.countHeld, [this](std::uint8_t b) { out_.Print<"%02x ">(b); });
  }

  ReportSink& out_;
  CommandSource& source_;
  WalkContext& ctx_;
  RunningTimestamp clock_;
};

}  // namespace

bool WriteTextReport(ReportSink& out, const ReportInput& input) {
  WriteInformationSection(out, input.info, input.fileName);
  if (input.plan.tags) WriteTagSection(out, ReadTagBlock(input.in, input.info.header));
  WriteDeviceList(out, input.info);
  if (input.plan.dump) out.Print<"\r\n[ Dump Data ]\r\n">();
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  DumpWalker walker(input.in, input.info.header);
  WalkDump(walker, ctx, input.window, [&] { return TextWriter(out, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteText(out);
  return ctx.anyShown || !input.plan.selective;
}

}  // namespace tavrin
