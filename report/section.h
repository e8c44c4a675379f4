// A part of the report built from the walk (statistics, and what later options add), written in every format.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "chips/family.h"
#include "core/command.h"
#include "core/device.h"
#include "core/report_sink.h"
#include "report/options.h"

namespace tavrin {

class RegisterModel;

// One command of the walk as the sections see it, after the register model has applied it.
struct WalkStep {
  const Command& cmd;
  bool shown;                  // its line is written (inside --from/--to and of the chosen devices)
  const WriteEffect& effect;   // what the write changed in the register model
  std::uint64_t ticksBefore;   // ticks of the waits before it
};

// A section follows every command of the walk and writes itself after the dump, in each output format.
// To add one: a class here in report/, and a row in MakeSections (report/sections.cpp).
class ReportSection {
 public:
  virtual ~ReportSection() = default;

  // Before the register model applies `cmd`: what the chips hold here is the result of every command
  // before it.
  virtual void BeforeApply(const Command& /*cmd*/, std::uint64_t /*ticksBefore*/) {}
  // True for a section whose BeforeApply does something: the walk calls only those.
  virtual bool WatchesBeforeApply() const { return false; }
  virtual void Observe(const WalkStep& step) = 0;
  // After the last command; `endBound` is where the stream had to stop at the latest.
  virtual void Finish(std::int32_t endBound) = 0;
  // Whether the walk must go on past the --to bound for this section.
  virtual bool NeedsWholeStream() const { return true; }

  // The text report's section, from its blank line on; CR LF line ends.
  virtual void WriteText(ReportSink& out) const = 0;
  // JSON Lines: whole objects, each ending in LF.
  virtual void WriteJson(ReportSink& out) const = 0;
};

// The sections the plan asks for, in the order the report shows them. `model` is the walk's register
// model, null when the plan keeps none.
std::vector<std::unique_ptr<ReportSection>> MakeSections(const WalkPlan& plan, const StreamHead& head,
                                                         const DeviceTable& devices, const RegisterModel* model);

}  // namespace tavrin
