// What every chip family provides, in one record, and the register state of one device that the rules keep.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "chips/annotator.h"
#include "chips/pitch.h"
#include "chips/voice.h"
#include "chips/state_table.h"
#include "core/device.h"

namespace tavrin {

// Channels and rhythm keys are counted in one row of key slots: the channels from 0 (as the
// annotations number them, FM#0 up), then one slot per rhythm instrument.
inline constexpr int kChannelSlots = 18;  // the OPL3 has the most channels
inline constexpr int kRhythmSlots = 6;    // the OPNA has the most rhythm instruments
inline constexpr int kKeySlots = kChannelSlots + kRhythmSlots;
// Pitch slots per device: the OPN family's six FM channels, FM#2's three special-mode slots and the
// three SSG channels fit, and so do the OPL3's eighteen channels.
inline constexpr int kPitchSlots = 18;

// One device's registers as the chip holds them: the register model of one device.
struct ChipState {
  std::array<std::array<std::uint8_t, 256>, 2> Registers{};  // the value last written, per bank
  std::array<std::array<bool, 256>, 2> Written{};            // addresses written at least once
  std::array<std::uint32_t, 16> Latch{};                     // the chip's own latches; each family names its entries
  std::array<std::uint8_t, kChannelSlots> KeyHeld{};         // operator mask or key bit per channel
  std::uint8_t RhythmHeld = 0;                               // rhythm keys held (OPL family, OPLL)
  std::array<Pitch, kPitchSlots> ChannelPitch{};             // the pitch each channel is set to
};

// Reading the register image for the decoded tables.
inline unsigned RegisterAt(const ChipState& state, int bank, unsigned reg) {
  return state.Registers[static_cast<std::size_t>(bank)][reg & 0xFFu];
}
inline bool WrittenAt(const ChipState& state, int bank, unsigned reg) {
  return state.Written[static_cast<std::size_t>(bank)][reg & 0xFFu];
}
// Whether any address from `first`, stepping by `step`, `count` times, was written.
inline bool AnyWritten(const ChipState& state, int bank, unsigned first, unsigned count, unsigned step = 1) {
  for (unsigned i = 0; i < count; ++i) {
    if (WrittenAt(state, bank, first + i * step)) return true;
  }
  return false;
}

// What one register write changed, for the readers of the model.
struct WriteEffect {
  int pitchSlot = -1;          // the write set the pitch of this slot (a note is shown for it)
  std::uint32_t keyedOn = 0;   // key slots the write keyed on (bit k: key slot k)
};

// One channel as it sounds now, for the readers of the music (notes as played, MIDI, piano roll).
inline constexpr int kSoundChannels = 20;  // the OPL3's eighteen channels; the OPNA's six FM, three SSG, ADPCM
struct ChannelSound {
  std::string_view name;      // "FM#0", "SSG#1", "ADPCM": as the state tables call it
  bool sounding = false;      // keyed (FM), audible (SSG, DCSG: tone on, volume above 0), playing (ADPCM)
  int pitchSlot = -1;         // where ChannelPitch holds its pitch; -1 for a channel of hits
  int keySlot = -1;           // its bit in WriteEffect::keyedOn: a key-on while it sounds starts a new note
  int voiceChannel = -1;      // the channel CaptureVoice reads; -1 where there is no FM voice
  std::uint8_t velocity = 0;  // 1-127, from the carriers' level or the volume
};

// Channel names of the state tables, by channel number.
inline constexpr std::array<std::string_view, kChannelSlots> kFmChannelNames = {
    "FM#0", "FM#1", "FM#2", "FM#3", "FM#4", "FM#5", "FM#6", "FM#7", "FM#8",
    "FM#9", "FM#10", "FM#11", "FM#12", "FM#13", "FM#14", "FM#15", "FM#16", "FM#17"};

// A MIDI velocity for an output `decibels` below full level: General MIDI plays velocity v at
// (v / 127)^2 of full amplitude.
inline std::uint8_t VelocityOfAttenuation(double decibels) {
  const double amplitude = decibels <= 0.0 ? 1.0 : std::pow(10.0, -decibels / 20.0);
  const double v = std::floor(127.0 * std::sqrt(amplitude) + 0.5);
  return static_cast<std::uint8_t>(v < 1.0 ? 1.0 : v);
}

// The velocity of an FM voice: its loudest carrier, total level in 0.75 dB steps.
inline std::uint8_t CarrierVelocity(const Voice& voice) {
  const int tl = LayoutOf(voice.kind).tlColumn;
  int loudest = -1;
  for (int k = 0; k < voice.operators; ++k) {
    if (((voice.carriers >> k) & 1u) == 0) continue;
    const int level = voice.op[static_cast<std::size_t>(k)][static_cast<std::size_t>(tl)];
    if (loudest < 0 || level < loudest) loudest = level;
  }
  return VelocityOfAttenuation(loudest < 0 ? 0.0 : 0.75 * loudest);
}

// An FM channel: keyed while any operator is held; its voice gives the velocity.
inline ChannelSound FmChannelSound(const ChipState& state, int channel, const Voice& voice) {
  return ChannelSound{kFmChannelNames[static_cast<std::size_t>(channel)],
                      state.KeyHeld[static_cast<std::size_t>(channel)] != 0, channel, channel, channel,
                      CarrierVelocity(voice)};
}

// Which channels and rhythm instruments a device type keys, as its key-on counts name them.
struct KeyLayout {
  int channels = 0;                              // key slots 0..channels-1
  std::span<const std::string_view> rhythm;      // names of key slots kChannelSlots + k, in the order listed
  bool rhythmFromTop = false;                    // rhythm name k goes with slot kChannelSlots + size - 1 - k
};

// Register addresses of ports 0 and 1: those a family's Apply acts on. The model gives Apply only
// these, and most writes of a song (operator rows, levels) are not among them. A byte per address: the
// model tests one for every write.
struct RegisterSet {
  std::array<std::array<std::uint8_t, 256>, 2> applies{};  // [port][register]: 1 where Apply acts

  constexpr RegisterSet& Add(int port, unsigned first, unsigned last) {
    for (unsigned r = first; r <= last && r < 256; ++r) applies[static_cast<std::size_t>(port & 1)][r] = 1;
    return *this;
  }
  constexpr bool Has(int port, unsigned reg) const {
    return applies[static_cast<std::size_t>(port & 1)][reg & 0xFFu] != 0;
  }
};

// One chip family. The dispatch table maps device type codes to these records; nothing else in the
// program knows a family. Every family fills the fields in this order:
//   name           how the family is called in lists
//   MakeAnnotator  the -v annotator, with its shadow state zero
//   Bank           the register bank a write reaches: the port for chips with two banks, 0 for chips
//                  with one bank whose port bit is ignored, -1 where nothing answers
//   Ports          how many ports the device type has (a write to another port is a fault of the log)
//   Keys           the channels and rhythm keys the device type keys on
//   Apply          the chip's own rules for one write, after the write is recorded in the bank:
//                  latches, key state (key-on events), the pitch of a channel
//   applyRegisters the registers Apply acts on; a write to any other only goes into the bank (null:
//                  Apply sees every write)
//   CaptureVoice   the timbre a channel's registers hold now (null for a family without FM voices);
//                  false for a channel that has none of its own (an SSG, a rhythm channel, the second
//                  channel of a joined OPL3 pair)
//   DescribeState  the device's state decoded into tables a person reads at a glance (snapshots and
//                  the loop check read the same fields; the family marks which change the sound)
//   Sounds         the channels that can play a note, each as it sounds now (keyed or audible, pitch
//                  slot, velocity); returns how many it filled
struct ChipFamily {
  std::string_view name;
  std::unique_ptr<DetailDecoder> (*MakeAnnotator)();
  int (*Bank)(std::uint32_t type, int port);
  int (*Ports)(std::uint32_t type);
  KeyLayout (*Keys)(std::uint32_t type);
  void (*Apply)(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
                WriteEffect& effect);
  const RegisterSet* applyRegisters;
  bool (*CaptureVoice)(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);
  void (*DescribeState)(const ChipState& state, const DeviceInfo& device, StateTables& tables);
  int (*Sounds)(const ChipState& state, const DeviceInfo& device, std::span<ChannelSound, kSoundChannels> out);
};

// Keys a channel: `held` is its new operator mask (or key bit); an operator turning on is a key-on.
inline void HoldKeys(ChipState& state, WriteEffect& effect, int channel, std::uint8_t held) {
  std::uint8_t& was = state.KeyHeld[static_cast<std::size_t>(channel)];
  if ((held & ~was) != 0) effect.keyedOn |= 1u << channel;
  was = held;
}

// Sets the pitch of a slot and marks it as the one the write set.
inline void SetPitch(ChipState& state, WriteEffect& effect, int slot, const Pitch& pitch) {
  state.ChannelPitch[static_cast<std::size_t>(slot)] = pitch;
  effect.pitchSlot = slot;
}

}  // namespace tavrin
