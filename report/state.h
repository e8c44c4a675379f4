// --state-at: what every chip holds at chosen places of the dump, decoded and as its register image.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chips/family.h"
#include "core/command.h"
#include "core/device.h"
#include "core/report_sink.h"
#include "model/register_model.h"
#include "report/section.h"
#include "report/selection.h"

namespace tavrin {

// One device's registers at one moment: a copy, so the walk can go on changing the model.
struct DeviceSnapshot {
  int device = 0;
  const ChipFamily* family = nullptr;
  DeviceInfo info;
  ChipState state;
};

// Copies of every device of a known family that the model follows.
std::vector<DeviceSnapshot> TakeSnapshot(const RegisterModel& model);

// What differs between two states of one device in what is heard, grouped per channel:
// {"FM#0", "KEY ---- -> 1234, op1 TL 127 -> 20"}.
struct SoundDifference {
  std::string channel;
  std::string changes;
};
std::vector<SoundDifference> SoundDifferences(const ChipFamily& family, const DeviceInfo& info,
                                              const ChipState& before, const ChipState& after);

// The state at WHEN is the result of every command before the first command at or after WHEN (the
// --from rule); `loop` is taken before the command at the loop offset, `end` after the last command.
class ChipStateSection final : public ReportSection {
 public:
  ChipStateSection(const StreamHead& head, const std::vector<StatePoint>& points, const RegisterModel& model);

  void BeforeApply(const Command& cmd, std::uint64_t ticksBefore) override;
  bool WatchesBeforeApply() const override { return true; }
  void Observe(const WalkStep& step) override;
  void Finish(std::int32_t endBound) override;

  // "\r\n[ Chip State at 00:01:23.456 (tick 8345, offset 0x0001a2b4) ]\r\n", per device its tables
  // and its register image.
  void WriteText(ReportSink& out) const override;
  // One "state" object per snapshot.
  void WriteJson(ReportSink& out) const override;

  struct Snapshot {
    StatePoint asked;
    std::uint64_t tick = 0;
    std::int64_t offset = 0;  // with a Point: the first offset it stands for
    bool taken = false;       // false at the end only for a loop the file does not have
    bool pastEnd = false;     // WHEN lies after the last command: the state at the end
    std::int32_t at = 0;      // the offset of the command it was taken before, or just past the last
    std::uint64_t atTick = 0;
    std::vector<DeviceSnapshot> devices;
  };
  const std::vector<Snapshot>& snapshots() const { return snapshots_; }

 private:
  void Take(Snapshot& snapshot, std::int32_t offset, std::uint64_t ticks);

  StreamHead head_;
  const RegisterModel& model_;
  std::vector<Snapshot> snapshots_;
  std::uint64_t totalTicks_ = 0;
  std::int32_t endOffset_ = 0;
};

}  // namespace tavrin
