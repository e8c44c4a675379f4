// Recording writes into the register model and applying each family's rules.
#include "model/register_model.h"

#include "chips/dispatch.h"

namespace tavrin {

RegisterModel::RegisterModel(const DeviceTable& devices) : states_(static_cast<std::size_t>(kDeviceIndexCount)) {
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = devices.Find(d);
    if (info == nullptr) continue;
    slots_[static_cast<std::size_t>(d)] = Slot{FamilyOf(info->type), *info};
  }
}

WriteEffect RegisterModel::Apply(int device, int port, unsigned reg, unsigned value) {
  WriteEffect effect;
  if (device < 0 || device >= kDeviceIndexCount) return effect;
  const Slot& slot = slots_[static_cast<std::size_t>(device)];
  if (slot.family == nullptr) return effect;
  const int bank = slot.family->Bank(slot.info.type, port & 1);
  if (bank < 0) return effect;
  ChipState& state = states_[static_cast<std::size_t>(device)];
  reg &= 0xFFu;
  value &= 0xFFu;
  state.Registers[static_cast<std::size_t>(bank)][reg] = static_cast<std::uint8_t>(value);
  state.Written[static_cast<std::size_t>(bank)][reg] = true;
  slot.family->Apply(state, slot.info, port & 1, reg, value, effect);
  return effect;
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
