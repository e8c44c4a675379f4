// The one walk of a report: every command from the log's reader, through the selection, the register
// model and the statistics, to the writer of the chosen output format.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "core/command.h"
#include "core/device.h"
#include "core/report_sink.h"
#include "model/register_model.h"
#include "report/options.h"
#include "report/selection.h"
#include "report/section.h"
#include "report/stats.h"

namespace tavrin {

// What one walk keeps for its writer: what each device index is called, its annotator, the register
// model and the sections (each only where the plan asks for it).
class WalkContext {
 public:
  WalkContext(const StreamHead& head, const DeviceTable& devices, const WalkPlan& plan);
  WalkContext(const WalkContext&) = delete;
  WalkContext& operator=(const WalkContext&) = delete;

  // The annotation of one write as the report shows it: the annotator's text, then the note.
  void Annotate(ReportSink& out, const Command& cmd, const WriteEffect& effect) {
    if (DetailDecoder* annotator = annotators_[static_cast<std::size_t>(cmd.device)]) {
      annotator->Decode(out, cmd.device, cmd.port, cmd.reg, cmd.value);
    }
    if (effect.pitchSlot >= 0 && plan.notes) AppendNote(out, cmd.device, effect);
  }

  // A write whose line is not shown still moves the annotators' shadow state, so the lines that are
  // shown read exactly as in the whole report.
  void TrackHidden(const Command& cmd) {
    if (cmd.kind != CommandKind::Write) return;
    if (DetailDecoder* annotator = annotators_[static_cast<std::size_t>(cmd.device)]) {
      annotator->Decode(discard_, cmd.device, cmd.port, cmd.reg, cmd.value);
    }
  }

  std::string_view Name(int device) const { return names_[static_cast<std::size_t>(device)]; }

  // "\t[ #00 OPNA(YM2608) ] " after a write's bytes, and with `lineEnd` "\r\n" too: made once per
  // device, so each line copies it whole (one fixed-size copy) rather than formatting the number and
  // the name again.
  void PrintTag(ReportSink& out, int device, bool lineEnd) const {
    const DeviceTag& tag = tags_[static_cast<std::size_t>(device)];
    out.AppendWith(sizeof tag.text, [&tag, lineEnd](char* to) {
      std::memcpy(to, tag.text, sizeof tag.text);
      return to + tag.size - (lineEnd ? 0 : 2);
    });
  }

  const StreamHead head;
  const WalkPlan plan;
  std::unique_ptr<RegisterModel> model;
  std::vector<std::unique_ptr<ReportSection>> sections;
  std::vector<ReportSection*> beforeApply;  // the sections that watch BeforeApply
  // The statistics, also among `sections`: the walk counts every command into them inline rather than
  // through a call per command.
  DumpStats* stats = nullptr;
  bool wholeStream = false;  // a section follows the stream past the --to bound
  bool anyShown = false;     // a command's line was shown (or would be, for a writer of sections only)

 private:
  // Takes whatever it is given and keeps none of it.
  class DiscardTarget final : public ReportTarget {
   public:
    bool Write(const char* /*data*/, std::size_t /*size*/) override { return true; }
  };

  // Out of line: a note follows one write in seven or so, and the walks that show none stay smaller.
  [[gnu::noinline]] void AppendNote(ReportSink& out, int device, const WriteEffect& effect) {
    WriteNote(out, *model, device, effect, noteTexts_, &noteMaker_);
  }

  std::array<std::string_view, kDeviceIndexCount> names_{};
  struct DeviceTag {
    char text[31];  // the longest: "\t[ #126 PSG(AY-3-8910) ] \r\n", 26 characters
    std::uint8_t size;
  };
  std::array<DeviceTag, kDeviceIndexCount> tags_{};
  std::array<DetailDecoder*, kDeviceIndexCount> annotators_{};
  AnnotatorSet annotatorSet_;
  PitchTexts noteTexts_;  // --notes
  std::shared_ptr<PieceMaker> noteMaker_;  // --notes into a sink that leaves them to its target: a PitchTextMaker
  DiscardTarget discardTarget_;
  ReportSink discard_{discardTarget_, 256};  // one hidden write's annotation at a time
};

// The writer of a report without dump lines (--voices-only): the walk feeds only the sections.
struct SilentWriter {
  static constexpr bool kWantsTicks = false;
  void Line(const Command& /*cmd*/, const WriteEffect& /*effect*/, std::uint64_t /*ticksBefore*/) {}
};

namespace walk_detail {

// Whether a window shows every command: then no command needs testing against it.
inline bool ShowsAll(const DumpWindow& window) {
  const DumpWindow all;
  return !window.deviceFilter && window.fromTick == all.fromTick && window.toTick == all.toTick &&
         window.fromOffset == all.fromOffset && window.toOffset == all.toOffset;
}

// Which sections a walk calls for each command: none (--notes keeps only the model), the statistics
// alone (counted inline), or any.
enum class Sections { None, StatsOnly, Any };

// The walk that keeps a model or sections; `Selective` walks test each command against the window.
template <bool Selective, Sections kSections, typename Source, typename Writer>
void WalkSteps(Source& source, WalkContext& ctx, const DumpWindow& window, Writer& writer) {
  constexpr bool kAny = kSections == Sections::Any;
  // The ticks before a command: for the window, the sections and a writer that shows them.
  constexpr bool kTicks = Selective || kAny || Writer::kWantsTicks;
  Command cmd;
  std::uint64_t ticksBefore = 0;
  RegisterModel* const model = ctx.model.get();
  // Held here rather than read through ctx on every command: the writer's stores may alias ctx.
  const std::span<ReportSection* const> beforeApply(ctx.beforeApply);
  const bool anyBeforeApply = !beforeApply.empty();
  DumpStats* const stats = ctx.stats;
  std::vector<ReportSection*> observers;  // the sections but the statistics
  for (const auto& section : ctx.sections) {
    if (section.get() != stats) observers.push_back(section.get());
  }
  const bool anyObservers = !observers.empty();
  bool anyShown = false;
  bool anyCommand = false;
  while (source.Next(cmd)) {
    anyCommand = true;
    bool shown = true;
    if constexpr (Selective) {
      if (!ctx.wholeStream && window.Passed(ticksBefore, cmd.offset)) break;
      shown = window.Shows(ticksBefore, cmd);
    }
    WriteEffect effect;
    if constexpr (kAny) {
      if (anyBeforeApply) {
        for (ReportSection* section : beforeApply) section->BeforeApply(cmd, ticksBefore);
      }
    }
    // Notes and statistics always keep a model; only a walk of any sections may have none.
    if ((!kAny || model != nullptr) && cmd.kind == CommandKind::Write) {
      effect = model->Apply(cmd.device, cmd.port, cmd.reg, cmd.value);
    }
    if constexpr (kSections == Sections::StatsOnly) {
      stats->Count(cmd, shown, effect);
    } else if constexpr (kAny) {
      if (stats != nullptr) stats->Count(cmd, shown, effect);
      if (anyObservers) {
        const WalkStep step{cmd, shown, effect, ticksBefore};
        for (ReportSection* section : observers) section->Observe(step);
      }
    }
    if (shown) {
      anyShown = true;
      writer.Line(cmd, effect, ticksBefore);
    } else {
      ctx.TrackHidden(cmd);
    }
    if constexpr (kTicks) {
      if (cmd.kind == CommandKind::Wait) ticksBefore += static_cast<std::uint32_t>(cmd.ticks);
    }
  }
  ctx.anyShown = ctx.anyShown || anyShown;
  // The source leaves the last command in `cmd` (the stats need only how the stream ended).
  if (stats != nullptr && anyCommand) stats->Last(cmd);
  for (const auto& section : ctx.sections) section->Finish(source.EndBound());
}

}  // namespace walk_detail

// Feeds every command of `source` to writer.Line(cmd, effect, ticksBefore), ticksBefore being the
// ticks of the waits before it, and to every section. Lines outside the window only move state; the
// walk stops once the window has passed, unless a section wants the whole stream.
template <typename Source, typename Writer>
void Walk(Source& source, WalkContext& ctx, const DumpWindow& window, Writer& writer) {
  if (!ctx.plan.selective && ctx.sections.empty() && !ctx.model) {
    // The plain and -v reports: every line shown, nothing else kept.
    Command cmd;
    std::uint64_t ticksBefore = 0;
    const WriteEffect none;
    while (source.Next(cmd)) {
      writer.Line(cmd, none, ticksBefore);
      if constexpr (Writer::kWantsTicks) {
        if (cmd.kind == CommandKind::Wait) ticksBefore += static_cast<std::uint32_t>(cmd.ticks);
      }
    }
    return;
  }
  using walk_detail::Sections;
  if (ctx.plan.selective || !walk_detail::ShowsAll(window)) {
    walk_detail::WalkSteps<true, Sections::Any>(source, ctx, window, writer);
  } else if (ctx.sections.empty()) {
    walk_detail::WalkSteps<false, Sections::None>(source, ctx, window, writer);
  } else if (ctx.sections.size() == 1 && ctx.stats != nullptr) {
    walk_detail::WalkSteps<false, Sections::StatsOnly>(source, ctx, window, writer);
  } else {
    walk_detail::WalkSteps<false, Sections::Any>(source, ctx, window, writer);
  }
}

// Walks `source` with the writer makeWriter() returns when the plan shows the dump lines, else with a
// silent one (the sections still see every step).
template <typename Source, typename MakeWriter>
void WalkDump(Source& source, WalkContext& ctx, const DumpWindow& window, MakeWriter&& makeWriter) {
  if (ctx.plan.dump) {
    auto writer = makeWriter();
    Walk(source, ctx, window, writer);
  } else {
    SilentWriter writer;
    Walk(source, ctx, window, writer);
  }
}

}  // namespace tavrin
