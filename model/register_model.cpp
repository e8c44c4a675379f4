// Recording writes into the register model and applying each family's rules.
#include "model/register_model.h"

#include "chips/dispatch.h"

namespace tavrin {

namespace {

// For a family that gives no set: its Apply sees every write.
constexpr RegisterSet kEveryRegister = RegisterSet{}.Add(0, 0x00, 0xFF).Add(1, 0x00, 0xFF);

}  // namespace

RegisterModel::RegisterModel(const DeviceTable& devices) {
  std::size_t known = 0;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = devices.Find(d);
    if (info == nullptr) continue;
    Slot& slot = slots_[static_cast<std::size_t>(d)];
    slot.family = FamilyOf(info->type);
    slot.info = *info;
    if (slot.family != nullptr) ++known;
  }
  // Sized once, so the pointers into it stay put; the last state is the zeros of the other indices.
  states_.resize(known + 1);
  std::size_t next = 0;
  for (std::size_t d = 0; d < slots_.size(); ++d) {
    Slot& slot = slots_[d];
    if (slot.family == nullptr) {
      slot.state = &states_.back();
      continue;
    }
    slot.state = &states_[next++];
    const RegisterSet& applies = slot.family->applyRegisters != nullptr ? *slot.family->applyRegisters : kEveryRegister;
    for (int port = 0; port < 2; ++port) {
      const auto p = static_cast<std::size_t>(port);
      const int bank = slot.family->Bank(slot.info.type, port);
      if (bank < 0) continue;
      Route& route = routes_[2 * d + p];
      route.registers = slot.state->Registers[static_cast<std::size_t>(bank)].data();
      route.written = slot.state->Written[static_cast<std::size_t>(bank)].data();
      route.applies = applies.applies[p].data();
      route.slot = &slot;
    }
  }
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
