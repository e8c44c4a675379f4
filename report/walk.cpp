// Setting up one walk: device names, annotators, the register model and the statistics the plan asks for.
#include "report/walk.h"

#include "chips/dispatch.h"

namespace tavrin {

WalkContext::WalkContext(const StreamHead& streamHead, const DeviceTable& devices, const WalkPlan& walkPlan)
    : head(streamHead), plan(walkPlan) {
  names_.fill(kUnknownDeviceName);
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = devices.Find(d);
    if (info == nullptr) continue;
    const auto i = static_cast<std::size_t>(d);
    names_[i] = DeviceName(info->type);
    if (!plan.annotate) continue;
    annotators_[i] = annotatorSet_.For(FamilyOf(info->type));
    if (annotators_[i] != nullptr) annotators_[i]->SetDevice(d, *info);
  }
  if (plan.model) model = std::make_unique<RegisterModel>(devices);
  sections = MakeSections(plan, head, devices, model.get());
  for (const auto& section : sections) {
    wholeStream = wholeStream || section->NeedsWholeStream();
    if (section->WatchesBeforeApply()) beforeApply.push_back(section.get());
    if (auto* dumpStats = dynamic_cast<DumpStats*>(section.get())) stats = dumpStats;
  }
}

}  // namespace tavrin
