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

  // Records one register write in the bank it reaches and applies the chip's rules. Devices of no
  // known family, and ports nothing answers, change nothing.
  WriteEffect Apply(int device, int port, unsigned reg, unsigned value);

  // Null for an index without a device of a known family.
  const ChipFamily* Family(int device) const { return slots_[static_cast<std::size_t>(device)].family; }
  const DeviceInfo& Info(int device) const { return slots_[static_cast<std::size_t>(device)].info; }
  const ChipState& State(int device) const { return states_[static_cast<std::size_t>(device)]; }

 private:
  struct Slot {
    const ChipFamily* family = nullptr;
    DeviceInfo info;
  };
  std::array<Slot, kDeviceIndexCount> slots_{};
  std::vector<ChipState> states_;
};

// The text --notes appends after a write that set a pitch: " => C4-1c 261.52Hz"; nothing otherwise.
void WriteNote(ReportSink& out, const RegisterModel& model, int device, const WriteEffect& effect);

// The annotators of one conversion, one per family, made with zero shadow state on first use.
class AnnotatorSet {
 public:
  DetailDecoder* For(const ChipFamily* family);

 private:
  std::vector<std::pair<const ChipFamily*, std::unique_ptr<DetailDecoder>>> made_;
};

}  // namespace tavrin
