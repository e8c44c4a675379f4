// OPN-family decoder: FM, SSG, rhythm and ADPCM registers of the OPN, OPNA, OPN2 and the PSGs.
#pragma once

#include <array>
#include <cstdint>

#include "chips/annotator.h"
#include "chips/family.h"
#include "chips/per_device.h"

namespace tavrin {

// Shadow copy of the registers whose meaning spans two writes, one record per device index.
// Every field is zero until the file writes it.
struct OpnDeviceState {
  std::int32_t TimerA = 0;             // 10 bits: $24 gives bits 9..2, $25 bits 1..0
  std::int32_t SsgEnvelopePeriod = 0;  // 16 bits: $0B low byte, $0C high byte
  std::array<std::int32_t, 3>
      SsgTonePeriod{};  // 12 bits per SSG channel: fine $00/$02/$04, coarse $01/$03/$05
  // 11-bit F-number and 3-bit block per FM channel. FM#2's special-mode slots 1..3 live in entries
  // 3..5, the same entries as channels FM#3..FM#5 of port 1, so a write to either shows in both.
  std::array<std::int32_t, 6> FNumber{};
  std::array<std::int32_t, 6> Block{};
  std::int32_t Fm3Special = 0;     // 1 while $27 selects CSM or EFFECT mode
  std::int32_t AdpcmStart = 0;     // port 1 $02/$03
  std::int32_t AdpcmStop = 0;      // port 1 $04/$05
  std::int32_t AdpcmPrescale = 0;  // port 1 $06, and the low nibble of $07 as bits 11..8
  std::int32_t AdpcmDeltaN = 0;    // port 1 $09/$0A
  std::int32_t AdpcmLimit = 0;     // port 1 $0C/$0D
  std::int32_t DacEnabled = 0;     // bit 7 of the last $2B: gates the $2A sample text
};

// One decoder for device types 1, 2, 3, 4 and 15. It never looks at the type: every write is read
// against one combined map (OPNA plus the YM2612 DAC), so a PSG's writes land in the SSG rows.
class OpnDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;

 private:
  PerDevice<OpnDeviceState> states_;
};

// The voice of FM channel `channel` (0-5; 0-2 on the OPN); false for the PSGs and other channels.
bool CaptureOpnVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);

// The OPN family as the dispatch table sees it.
extern const ChipFamily kOpnFamily;

}  // namespace tavrin
