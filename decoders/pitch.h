// The pitch a register write sets, as a note name and a frequency (--notes); its own state per conversion.
#pragma once

#include <array>
#include <cstdint>

#include "engine/detail_decoder.h"
#include "engine/report_sink.h"

namespace tavrin {

// The registers that set a pitch, per family, as the tracker reads them. "p" is the port (command
// byte bit 0); a row without one ignores the port. Writes marked * are the ones that get a note.
//
//   OPN / OPNA / OPN2 (types 2, 4, 3)
//   p0   2D      (any)    FM divider /6, SSG divider /4 (power-on setting)           [OPN, OPNA]
//   p0   2E      (any)    FM divider /3, SSG divider /2                              [OPN, OPNA]
//   p0   2F      (any)    FM divider /2, SSG divider /1                              [OPN, OPNA]
//   p0/1 A4-A6   --xxx--- Block                     } one latch per chip, whichever channel
//                -----xxx F-number bits 10-8        } or port writes it
//   p0/1 A0-A2 * xxxxxxxx F-number bits 7-0: the channel takes the latch and this byte
//   p0   AC-AE   --xxx--- Block                     } the FM#2 special-mode latch
//                -----xxx F-number bits 10-8        }
//   p0   A8-AA * xxxxxxxx F-number bits 7-0 of an FM#2 special-mode operator
//     f = F * 2^B * clock / (D * 2^21); D = 72/36/24 (OPN), 144/72/48 (OPNA), 144 (OPN2)
//
//   SSG of the OPN and OPNA, PSG (types 2, 4; 1, 15)
//   p0   00/02/04 * xxxxxxxx Tone period bits 7-0 of channel A/B/C
//   p0   01/03/05 * ----xxxx Tone period bits 11-8
//     f = C / (16 * TP), TP 0 acting as 1; C the clock of an AY-3-8910 playing the same notes
//
//   OPM (type 5)
//        28-2F * -xxx---- Octave
//                ----xxxx Note code (0 C#, 1 D, 2 D#, 4 E ... 14 C; 3, 7, 11, 15 sound as the next)
//        30-37 * xxxxxx-- Key fraction, 1/64 semitone
//
//   OPL / OPL2 / OPL3 (types 7, 8, 9; the OPL3's port 1 holds channels 9-17)
//   p0/1 A0-A8 * xxxxxxxx F-number bits 7-0
//   p0/1 B0-B8 * ---xxx-- Block
//                ------xx F-number bits 9-8
//     f = F * 2^B * clock / (72 * 2^20); OPL3: clock / (288 * 2^20)
//
//   OPLL (type 6)
//        10-18 * xxxxxxxx F-number bits 7-0
//        20-28 * ----xxx- Block
//                -------x F-number bit 8
//     f = F * 2^B * clock / (72 * 2^19)
//
//   DCSG (type 16; the register byte 1 is the Game Gear stereo port, no pitch)
//        byte  * 1xx0xxxx Tone latch: channel 0-2 (bits 6-5), period bits 3-0
//              * 0-xxxxxx Data after a tone latch: period bits 9-4
//     f = clock / (32 * N), N 0 acting as 1024

// What one device's pitch registers hold, as far as the notes need it. Zero when the tracker is made.
struct PitchDeviceState {
  std::uint32_t FNumber2Latch = 0;                  // OPN family: last $A4-$A6 byte
  std::uint32_t SpecialFNumber2Latch = 0;           // OPN family: last $AC-$AE byte
  std::uint32_t Prescaler = 0;                      // OPN, OPNA: 0 power-on or $2D, 1 after $2E, 2 after $2F
  std::array<std::uint32_t, 3> SsgTonePeriod{};     // 12 bits per SSG channel
  std::array<std::uint32_t, 8> KeyCode{};           // OPM $28-$2F
  std::array<std::uint32_t, 8> KeyFraction{};       // OPM $30-$37, as written
  std::array<std::uint32_t, 18> OplFNumberLow{};    // OPL $A0-$A8, port 1 in entries 9-17
  std::array<std::uint32_t, 18> OplBlockFNumber{};  // OPL $B0-$B8, port 1 in entries 9-17
  std::array<std::uint32_t, 9> OpllFNumberLow{};    // OPLL $10-$18
  std::array<std::uint32_t, 9> OpllBlockFNumber{};  // OPLL $20-$28
  std::uint32_t DcsgLatchedCommand = 0;             // high nibble of the last DCSG latch byte
  std::array<std::uint32_t, 3> DcsgTonePeriod{};    // 10 bits per DCSG tone channel
};

// Follows the pitch registers of every device of one conversion and names the pitch each write sets.
//   PitchTracker pitch;
//   pitch.Annotate(out, 4, 7987200, 0, 0, 0xA4, 0x22);  // appends nothing (F-NUM2 only latches)
//   pitch.Annotate(out, 4, 7987200, 0, 0, 0xA0, 0x6A);  // appends " => C4-1c 261.52Hz"
// A clock of 0 or less gives the frequency 0 (" => --- 0.00Hz") rather than a division by zero.
class PitchTracker {
 public:
  // Appends " => NOTE FREQ" after a write that sets a channel's pitch; nothing for other writes.
  // type and clock come from the device's record (the default OPNA at 7987200 Hz without records).
  void Annotate(ReportSink& out, std::uint32_t type, std::int32_t clock, int device, int port, unsigned reg,
                unsigned value);

 private:
  std::array<PitchDeviceState, kDeviceIndexCount> states_{};
};

}  // namespace tavrin
