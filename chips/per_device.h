// An annotator's shadow state: one record per device index, zero until the log writes it.
#pragma once

#include <array>
#include <cstddef>

#include "core/device.h"

namespace tavrin {

template <typename State>
class PerDevice {
 public:
  // The record of `device`. An index the command byte cannot carry (tests pass them) reads a record
  // of zeros that is never kept.
  State& At(int device) {
    if (device < 0 || device >= kDeviceIndexCount) {
      outOfRange_ = State{};
      return outOfRange_;
    }
    return states_[static_cast<std::size_t>(device)];
  }

 private:
  std::array<State, kDeviceIndexCount> states_{};
  State outOfRange_{};
};

}  // namespace tavrin
