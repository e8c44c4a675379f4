// OPLL (YM2413) register decoder.
#pragma once

#include <array>

#include "chips/annotator.h"
#include "chips/family.h"
#include "chips/per_device.h"

namespace tavrin {

// Register map of the OPLL, as this decoder reads it. One bank: the port bit of a command is ignored.
// Registers $00-$07 define the one user instrument (instrument 0); operator 1 is the modulator,
// operator 2 the carrier.
//
//   reg     bits
//   00-01   x------- Amplitude modulation (tremolo) on                 (00: operator 1, 01: operator 2)
//           -x------ Vibrato on
//           --x----- Envelope type: 1 holds at the sustain level; shown as DECAY, 0 as SUSTAIN
//           ---x---- Key scale rate
//           ----xxxx Frequency multiple
//   02      xx------ Key scale level of operator 1
//           --xxxxxx Total level of operator 1
//   03      xx------ Key scale level of operator 2
//           ---x---- Rectified wave of operator 2 (shown as DM)
//           ----x--- Rectified wave of operator 1 (shown as DC)
//           -----xxx Feedback of operator 1
//   04-05   xxxx---- Attack rate                                       (04: operator 1, 05: operator 2)
//           ----xxxx Decay rate
//   06-07   xxxx---- Sustain level                                     (06: operator 1, 07: operator 2)
//           ----xxxx Release rate
//   0E      --x----- Rhythm mode: channels 6-8 become the five drums
//           ---xxxxx Keys of bass drum, snare, tom-tom, top cymbal, hi-hat
//   0F      xxxxxxxx Test
//   10-18   xxxxxxxx F-number, low 8 bits (channels 0-8)
//   20-28   --x----- Sustain on (release at the slow rate)
//           ---x---- Key on
//           ----xxx- Block (octave)
//           -------x F-number, bit 8
//   30-38   xxxx---- Instrument (0 user, 1-15 built in)
//           ----xxxx Volume (attenuation)
//   36      ----xxxx Bass drum volume                                  [rhythm mode]
//   37      xxxx---- Hi-hat volume                                     [rhythm mode]
//           ----xxxx Snare drum volume                                 [rhythm mode]
//   38      xxxx---- Tom-tom volume                                    [rhythm mode]
//           ----xxxx Top cymbal volume                                 [rhythm mode]
//
// Registers $08-$0D, $19-$1F, $29-$2F and $39-$FF are unused.

// What the decoder remembers of one OPLL device between writes.
struct OpllDeviceState {
  // Bit 5 of the last $0E write: 1 while channels 6-8 play the drums, so $36-$38 hold drum volumes.
  unsigned RhythmMode = 0;
  // Per channel 0-8: the 9-bit F-number latched from its $10-row (bits 0-7) and $20-row (bit 8)
  // writes, and the block of its last $20-row write; the $10-row line shows the pitch as a whole.
  std::array<unsigned, 9> FNumber{};
  std::array<unsigned, 9> Block{};
};

class OpllDetailDecoder final : public DetailDecoder {
 public:
  void Decode(ReportSink& out, int device, int port, unsigned reg, unsigned value) override;

 private:
  PerDevice<OpllDeviceState> states_;
};

// The OPLL family as the dispatch table sees it.
extern const ChipFamily kOpllFamily;

// The voice of channel 0-8; false for the rhythm channels in rhythm mode.
bool CaptureOpllVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);

}  // namespace tavrin
