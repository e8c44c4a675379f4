// OPM (YM2151) register decoder: spells out each register write of a device of type 5.
#pragma once

#include <array>
#include <cstdint>

#include "chips/annotator.h"
#include "chips/family.h"
#include "chips/per_device.h"

namespace tavrin {

// What one OPM device has been told so far, as far as the annotations need it.
struct OpmDeviceState {
  // Timer A period, 10 bits: bits 9..2 from the last $10 write, bits 1..0 from the last $11 write.
  std::uint32_t TimerA = 0;
};

// Annotates OPM writes: the global registers, 8 channels and 32 operators. The port is not used
// (the chip has one register bank); the device index only selects whose timer A is assembled.
//   decoder.Decode(out, 0, 0, 0x28, 0x4A);  // appends "FM#0 KEY-CODE OCT=5 NOTE=a "
class OpmDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;

 private:
  void DecodeGlobal(ReportSink& out, int device, unsigned reg, unsigned value);
  void DecodeTimerA(ReportSink& out, int device, unsigned reg, unsigned value);

  PerDevice<OpmDeviceState> states_;
};

// The OPM family as the dispatch table sees it.
extern const ChipFamily kOpmFamily;

// The voice of channel 0-7.
bool CaptureOpmVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);

}  // namespace tavrin
