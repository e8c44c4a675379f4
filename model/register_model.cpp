// Recording writes into the register model and applying each family's rules.
#include "model/register_model.h"

#include "chips/dispatch.h"

namespace tavrin {

RegisterModel::RegisterModel(const DeviceTable& devices) {
  std::size_t known = 0;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = devices.Find(d);
    if (info == nullptr) continue;
    Slot& slot = slots_[static_cast<std::size_t>(d)];
    slot.family = FamilyOf(info->type);
    slot.info = *info;
    if (slot.family == nullptr) continue;
    slot.bank = {slot.family->Bank(info->type, 0), slot.family->Bank(info->type, 1)};
    ++known;
  }
  // Sized once, so the pointers into it stay put; the last state is the zeros of the other indices.
  states_.resize(known + 1);
  std::size_t next = 0;
  for (Slot& slot : slots_) slot.state = slot.family != nullptr ? &states_[next++] : &states_.back();
}

void WriteNote(ReportSink& out, const RegisterModel& model, int device, const WriteEffect& effect) {
  if (effect.pitchSlot < 0) return;
  WritePitch(out, model.State(device).ChannelPitch[static_cast<std::size_t>(effect.pitchSlot)]);
}

DetailDecoder* AnnotatorSet::For(const ChipFamily* family) {
  if (family == nullptr) return nullptr;
  for (auto& [known, annotator] : made_) {
    if (known == family) return annotator.get();
  }
  made_.emplace_back(family, family->MakeAnnotator());
  return made_.back().second.get();
}

}  // namespace tavrin
