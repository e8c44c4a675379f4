// The reports of a VGM log: its own head sections, one line per command with the same annotators as S98.
#include "formats/vgm/vgm_sections.h"
#include "formats/vgm/vgm_walker.h"
#include "report/report.h"
#include "report/walk.h"

namespace tavrin {

namespace {

class VgmTextWriter {
 public:
  static constexpr bool kWantsTicks = false;
  VgmTextWriter(ReportSink& out, VgmWalker& walker, WalkContext& ctx) : out_(out), walker_(walker), ctx_(ctx) {}

  void Line(const Command& cmd, const WriteEffect& effect, std::uint64_t /*ticksBefore*/) {
    const auto raw = walker_.Raw();
    if (cmd.kind == CommandKind::Write && raw.size() == 3) {
      // The common line in one go: a two-operand chip write.
      out_.Print<"%08x : %02x %02x %02x \t[ #%02d %s ] ">(cmd.offset, raw[0], raw[1], raw[2], cmd.device,
                                                        ctx_.Name(cmd.device));
      if (ctx_.plan.annotate) ctx_.Annotate(out_, cmd, effect);
      if (cmd.atLoop) out_.Print<" *** LOOP POINT ***">();
      out_.Print<"\r\n">();
      return;
    }
    out_.Print<"%08x : ">(cmd.offset);
    for (std::uint8_t b : raw) out_.Print<"%02x ">(b);
    // Short commands line up with the three-byte writes.
    if (raw.size() < 3) out_.Print<"\t">();
    switch (cmd.kind) {
      case CommandKind::Wait:
        if (walker_.Info().dacWait) {
          out_.Print<"\t[ DAC WAIT %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
        } else {
          out_.Print<"\t[ WAIT %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
        }
        WriteSampleTime(out_, static_cast<std::uint32_t>(cmd.tickCount));
        break;
      case CommandKind::End:
        if (ctx_.head.loopOffset != 0) {
          out_.Print<"\t[ LOOP OFFSET=%08x ]">(ctx_.head.loopOffset);
        } else {
          out_.Print<"\t[ END ]">();
        }
        break;
      case CommandKind::Write:
        out_.Print<"\t[ #%02d %s ] ">(cmd.device, ctx_.Name(cmd.device));
        if (ctx_.plan.annotate) ctx_.Annotate(out_, cmd, effect);
        break;
      case CommandKind::Other:
        WriteVgmOtherText(out_, cmd, walker_.Info());
        break;
      case CommandKind::Cut:
        out_.Print<"\t[ CUT: the file ends inside this command ]">();
        break;
    }
    if (cmd.atLoop) out_.Print<" *** LOOP POINT ***">();
    out_.Print<"\r\n">();
  }

 private:
  ReportSink& out_;
  VgmWalker& walker_;
  WalkContext& ctx_;
};

}  // namespace

void WriteVgmTextReport(ReportSink& out, const VgmReportInput& input) {
  WriteVgmInformationSection(out, input.info, input.fileName);
  if (input.plan.tags) WriteGd3Section(out, ReadGd3Tag(input.in, input.info));
  WriteVgmDeviceList(out, input.info);
  if (input.plan.dump) out.Print<"\r\n[ Dump Data ]\r\n">();
  WalkContext ctx(StreamHeadOf(input.info), DeviceTableOf(input.info), input.plan);
  VgmWalker walker(input.in, input.info);
  WalkDump(walker, ctx, input.window, [&] { return VgmTextWriter(out, walker, ctx); });
  for (const auto& section : ctx.sections) section->WriteText(out);
}

}  // namespace tavrin
