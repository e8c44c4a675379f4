// The register model of one conversion: every device's registers, latches, keys and pitch, kept as the chips do.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "chips/family.h"
#include "core/device.h"

namespace tavrin {

// Follows every register write of one log, device by device, through its family's rules. Readers
// (notes, statistics, checks, snapshots) ask it what a write changed and what a chip holds. It costs
// nothing until made: a report that reads none of it never creates one.
//   RegisterModel model(devices);
//   WriteEffect e = model.Apply(0, 0, 0xA4, 0x22);  // latches F-NUM2 of an OPNA at #00
//   e = model.Apply(0, 0, 0xA0, 0x6A);              // e.pitchSlot == 0: FM#0 now plays C4-1c
class RegisterModel {
 public:
  explicit RegisterModel(const DeviceTable& devices);
  // Each slot points into states_: a copy would point into the original.
  RegisterModel(const RegisterModel&) = delete;
  RegisterModel& operator=(const RegisterModel&) = delete;

  // Records one register write in the bank it reaches and applies the chip's rules. Devices of no
  // known family, and ports nothing answers, change nothing. Inline: it runs for every write of a
  // report that keeps the model.
  WriteEffect Apply(int device, int port, unsigned reg, unsigned value) {
    WriteEffect effect;
    if (device < 0 || device >= kDeviceIndexCount) return effect;
    const Route& route = routes_[2 * static_cast<std::size_t>(device) + static_cast<std::size_t>(port & 1)];
    if (route.registers == nullptr) return effect;
    reg &= 0xFFu;
    value &= 0xFFu;
    route.registers[reg] = static_cast<std::uint8_t>(value);
    route.written[reg] = true;
    if (route.applies[reg] != 0) {
      const Slot& slot = *route.slot;
      slot.family->Apply(*slot.state, slot.info, port & 1, reg, value, effect);
    }
    return effect;
  }

  // Null for an index without a device of a known family.
  const ChipFamily* Family(int device) const { return slots_[static_cast<std::size_t>(device)].family; }
  const DeviceInfo& Info(int device) const { return slots_[static_cast<std::size_t>(device)].info; }
  // All zeros for an index without a device of a known family.
  const ChipState& State(int device) const { return *slots_[static_cast<std::size_t>(device)].state; }

 private:
  // One device index: its family (null for none known), its record and its state.
  struct Slot {
    const ChipFamily* family = nullptr;
    DeviceInfo info;
    ChipState* state = nullptr;  // never null once constructed
  };
  // Where one port's writes go, worked out once: a write costs a few stores and one test. The bank it
  // reaches in the device's state (null where nothing answers), its written marks, and which addresses
  // the family's Apply acts on.
  struct Route {
    std::uint8_t* registers = nullptr;
    bool* written = nullptr;
    const std::uint8_t* applies = nullptr;
    const Slot* slot = nullptr;
  };
  std::array<Slot, kDeviceIndexCount> slots_{};
  std::array<Route, 2 * kDeviceIndexCount> routes_{};  // [2 * device + port]
  // One state per device of a known family, and one of zeros for every other index: a log names a
  // few devices of the 127 indices, and a conversion of a short log should not clear 127 states.
  std::vector<ChipState> states_;
};

// The text --notes appends after a write that set a pitch: " => C4-1c 261.52Hz"; nothing otherwise.
// `texts` keeps the texts of one conversion. A sink that can leave the text to its target's thread
// gets the pitch instead, and `maker` (made on first use) makes the text there.
inline void WriteNote(ReportSink& out, const RegisterModel& model, int device, const WriteEffect& effect,
                      PitchTexts& texts, std::shared_ptr<PieceMaker>* maker = nullptr) {
  if (effect.pitchSlot < 0) return;
  const Pitch& pitch = model.State(device).ChannelPitch[static_cast<std::size_t>(effect.pitchSlot)];
  if (maker != nullptr && out.CanDefer()) {
    if (!*maker) *maker = std::make_shared<PitchTextMaker>();
    out.Defer(*maker, pitch);
    return;
  }
  texts.Write(out, pitch);
}

// The annotators of one conversion, one per family, made with zero shadow state on first use.
class AnnotatorSet {
 public:
  DetailDecoder* For(const ChipFamily* family);

 private:
  std::vector<std::pair<const ChipFamily*, std::unique_ptr<DetailDecoder>>> made_;
};

}  // namespace tavrin
