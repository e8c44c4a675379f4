// DCSG (SN76489) register decoder: follows each device's latch and data bytes for a device of type 16.
#pragma once

#include <array>
#include <cstdint>

#include "chips/annotator.h"
#include "chips/family.h"
#include "chips/per_device.h"

namespace tavrin {

// What one DCSG device has been told so far: the last command byte and the three tone periods.
struct DcsgDeviceState {
  // High nibble of the last command byte ($80 to $F0), 0 before the first one.
  std::uint32_t LatchedCommand = 0;
  // Tone periods of channels 0 to 2, 10 bits: bits 3..0 from the tone command, bits 9..4 from the
  // data byte after it.
  std::array<std::uint32_t, 3> TonePeriod{};
  // False for a chip the VGM head says has no Game Gear stereo: its stereo writes do nothing.
  bool Stereo = true;
};

// Annotates the bytes a DCSG receives. Only the value counts: the chip has a single write port, so
// the port and the register byte of the log play no part.
//   decoder.Decode(out, 0, 0, 0, 0x8F);  // appends "DCSG#0: TONE(L)= $0f"
//   decoder.Decode(out, 0, 0, 0, 0x3F);  // appends "DCSG#0: TONE(H)= $3f($3ff)"
class DcsgDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;
  void SetDevice(int device, const DeviceInfo& info) override;

 private:
  PerDevice<DcsgDeviceState> states_;
};

// The DCSG family as the dispatch table sees it.
extern const ChipFamily kDcsgFamily;

}  // namespace tavrin
