// The table of report sections: which option asks for which, in the order they follow the dump.
#include "report/section.h"

#include "report/state.h"
#include "report/stats.h"
#include "report/voices.h"

namespace tavrin {

std::vector<std::unique_ptr<ReportSection>> MakeSections(const WalkPlan& plan, const StreamHead& head,
                                                         const DeviceTable& devices,
                                                         const RegisterModel* model) {
  std::vector<std::unique_ptr<ReportSection>> sections;
  if (plan.stats) sections.push_back(std::make_unique<DumpStats>(head, devices, plan.selective));  // --stats
  if (!plan.stateAt.empty() && model != nullptr) {  // --state-at
    sections.push_back(std::make_unique<ChipStateSection>(head, plan.stateAt, *model));
  }
  if (plan.voices && model != nullptr) {  // --voices
    sections.push_back(std::make_unique<VoiceSection>(head, plan.selective, *model));
  }
  return sections;
}

}  // namespace tavrin
