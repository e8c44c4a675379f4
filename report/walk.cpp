// Setting up one walk: device names, annotators, the register model and the statistics the plan asks for.
#include "report/walk.h"

#include <algorithm>

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
  StringTarget tagText;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const auto i = static_cast<std::size_t>(d);
    ReportSink tag(tagText, 64);
    tag.Print<"\t[ #%02d %s ] \r\n">(d, names_[i]);
    tag.Flush();
    // Every device name is far shorter than the room: nothing is cut.
    tags_[i].size = static_cast<std::uint8_t>(std::min(tagText.text.size(), sizeof tags_[i].text));
    std::memcpy(tags_[i].text, tagText.text.data(), tags_[i].size);
    tagText.text.clear();
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
