// The reports of a VGM log: its own head sections, one line per command with the same annotators as S98.
#include <span>
#include <string>

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

  [[gnu::always_inline]] void Line(const Command& cmd, const WriteEffect& effect, std::uint64_t /*ticksBefore*/) {
    const auto raw = walker_.Raw();
    if (cmd.kind == CommandKind::Write && raw.size() == 3) {
      // The common line in one go: a two-operand chip write.
      out_.Print<"%08x : %02x %02x %02x ">(cmd.offset, raw[0], raw[1], raw[2]);
      ctx_.PrintTag(out_, cmd.device, false);
      if (ctx_.plan.annotate) ctx_.Annotate(out_, cmd, effect);
      if (cmd.atLoop) out_.Print<" *** LOOP POINT ***">();
      out_.Print<"\r\n">();
      return;
    }
    OtherLine(cmd, effect, raw);
  }

 private:
  // Every line but the common write: kept out of the walk's loop.
  [[gnu::noinline]] void OtherLine(const Command& cmd, const WriteEffect& effect, std::span<const std::uint8_t> raw) {
    if (walker_.Info().dacWait) return DacLine(cmd, effect);
    // A wait of 0x61 (three bytes) or 0x62, 0x63, 0x7n (one), the next most common lines, in one Print:
    // the texts of Bytes, the wait and the sample time end to end.
    if (cmd.kind == CommandKind::Wait && !cmd.atLoop && (raw.size() == 3 || raw.size() == 1)) {
      const SampleTime t = SplitSampleTime(static_cast<std::uint32_t>(cmd.tickCount));
      if (raw.size() == 3) {
        out_.Print<"%08x : %02x %02x %02x \t[ WAIT %d (%d) ]\t%02d:%02d:%02d.%03d\r\n">(
            cmd.offset, raw[0], raw[1], raw[2], cmd.ticks, cmd.tickCount, t.hours, t.minutes, t.seconds,
            t.milliseconds);
      } else {
        out_.Print<"%08x : %02x \t\t[ WAIT %d (%d) ]\t%02d:%02d:%02d.%03d\r\n">(
            cmd.offset, raw[0], cmd.ticks, cmd.tickCount, t.hours, t.minutes, t.seconds, t.milliseconds);
      }
      return;
    }
    Bytes(cmd, raw);
    switch (cmd.kind) {
      case CommandKind::Wait:
        out_.Print<"\t[ WAIT %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
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
        ctx_.PrintTag(out_, cmd.device, false);
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

  // The offset and the bytes; short commands line up with the three-byte writes. The common lengths
  // go out in one call each.
  void Bytes(const Command& cmd, std::span<const std::uint8_t> raw) {
    switch (raw.size()) {
      case 1:
        out_.Print<"%08x : %02x \t">(cmd.offset, raw[0]);
        return;
      case 2:
        out_.Print<"%08x : %02x %02x \t">(cmd.offset, raw[0], raw[1]);
        return;
      case 3:
        out_.Print<"%08x : %02x %02x %02x ">(cmd.offset, raw[0], raw[1], raw[2]);
        return;
      default:
        out_.Print<"%08x : ">(cmd.offset);
        for (std::uint8_t b : raw) out_.Print<"%02x ">(b);
    }
  }

  // One line for both halves of a 0x8n: the YM2612 write of the bank's byte as the line of any write,
  // then the wait. The write half is not shown when --device leaves the YM2612 out.
  void DacLine(const Command& cmd, const WriteEffect& effect) {
    const VgmCommandInfo& info = walker_.Info();
    if (!dacLineOpen_) out_.Print<"%08x : %02x \t">(cmd.offset, cmd.command);
    if (cmd.kind == CommandKind::Write) {
      ctx_.PrintTag(out_, cmd.device, false);
      if (ctx_.plan.annotate) ctx_.Annotate(out_, cmd, effect);
      dacLineOpen_ = true;
      dacLineAtLoop_ = cmd.atLoop;
      return;
    }
    out_.Print<"\t[ DAC WAIT %d (%d) ]\t">(cmd.ticks, cmd.tickCount);
    WriteSampleTime(out_, static_cast<std::uint32_t>(cmd.tickCount));
    if (ctx_.plan.annotate) {
      const auto at = static_cast<std::uint32_t>(info.dacOffset);
      if (info.dacByte == VgmDataBank::kPastEnd) {
        out_.Print<" DAC: bank offset 0x%08x is past the data bank (%s bytes)">(at, std::to_string(walker_.DataBankSize()));
      } else if (info.dacByte == VgmDataBank::kNotKept) {
        out_.Print<" DAC: bank offset 0x%08x could not be kept (no temporary file)">(at);
      }
    }
    if (cmd.atLoop || dacLineAtLoop_) out_.Print<" *** LOOP POINT ***">();
    out_.Print<"\r\n">();
    dacLineOpen_ = false;
    dacLineAtLoop_ = false;
  }

  ReportSink& out_;
  VgmWalker& walker_;
  WalkContext& ctx_;
  bool dacLineOpen_ = false;  // the write half of a 0x8n is on the line; its wait ends it
  bool dacLineAtLoop_ = false;
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
