// OPL (YM3526), OPL2 (YM3812) and OPL3 (YMF262) register decoder.
#pragma once

#include <array>

#include "chips/annotator.h"
#include "chips/family.h"
#include "chips/per_device.h"

namespace tavrin {

// Register map of the OPL family, as this decoder reads it. Port 0 is the only bank of OPL and OPL2
// and the first bank of OPL3; port 1 is the OPL3's second bank. Rows marked "both" exist in each
// bank: their channels are 0-8 in port 0 and 9-17 in port 1.
//
//   port reg     bits
//   0    01      --x----- Waveform select enable                                   [OPL2 only]
//   0    01      xxxxxxxx Test (shown whole)
//   1    01      --xxxxxx Test (bank 1; top two bits not shown)
//   0    02      xxxxxxxx Timer 1 reload value (80 us steps)
//   0    03      xxxxxxxx Timer 2 reload value (320 us steps)
//   0    04      x------- Reset timer flags
//                -x------ Timer 1 mask bit
//                --x----- Timer 2 mask bit
//                ------x- Timer 2 start
//                -------x Timer 1 start
//   1    04      --xxxxxx 4-operator pairing, bit i for pair i (0-2: channels 0+3, 1+4, 2+5;
//                         3-5: channels 9+12, 10+13, 11+14)                        [OPL3 mode]
//   1    05      -------x OPL3 mode (NEW): enables the second bank and the OPL3 features
//   0    08      x------- Composite sine modelling (CSM) mode
//                -x------ Note select (keyboard split for KSR)
//   both 20-35   x------- Amplitude modulation (tremolo) on
//                -x------ Vibrato on
//                --x----- Envelope type: hold at sustain level
//                ---x---- Key scale rate
//                ----xxxx Frequency multiple
//   both 40-55   xx------ Key scale level
//                --xxxxxx Total level
//   both 60-75   xxxx---- Attack rate
//                ----xxxx Decay rate
//   both 80-95   xxxx---- Sustain level
//                ----xxxx Release rate
//   both A0-A8   xxxxxxxx F-number, low 8 bits
//   both B0-B8   --x----- Key on
//                ---xxx-- Block (octave)
//                ------xx F-number, high 2 bits
//   0    BD      x------- Amplitude modulation depth
//                -x------ Vibrato depth
//                --x----- Rhythm mode
//                ---xxxxx Keys of bass drum, snare, tom-tom, top cymbal, hi-hat
//   both C0-C8   x------- Output D                                                 [OPL3 mode]
//                -x------ Output C                                                 [OPL3 mode]
//                --x----- Output B (right)                                         [OPL3 mode]
//                ---x---- Output A (left)                                          [OPL3 mode]
//                ----xxx- Feedback of operator 1
//                -------x Connection: 0 operator 1 modulates 2, 1 both to output
//   both E0-F5   -----xxx Waveform (OPL3 mode: 8 waves)                            [OPL3 mode]
//                ------xx Waveform (OPL2: 4 waves)                                 [OPL2+ only]
//
// Operator rows (20, 40, 60, 80, E0) address 18 operators through offsets 0-21 of each row; offsets
// 6, 7, 14, 15 and 22-31 reach no operator. Every other register of either bank is unused.

// What the decoder remembers of one OPL-family device between writes.
struct OplDeviceState {
  // Bit 0 of the last port 1 $05 write: 1 once the device is in OPL3 mode.
  unsigned Opl3Mode = 0;
  // Per channel 0-17: the 10-bit F-number latched from its $A0-row (bits 0-7) and $B0-row (bits 8-9)
  // writes, since a note's pitch is set by two writes and only the second one shows it whole.
  std::array<unsigned, 18> FNumber{};
};

class OplDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;

 private:
  PerDevice<OplDeviceState> states_;
};

// The OPL family as the dispatch table sees it.
extern const ChipFamily kOplFamily;

// The voice of channel 0-8 (OPL3: 0-17); false for rhythm channels and the second channel of a pair.
bool CaptureOplVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);

}  // namespace tavrin
