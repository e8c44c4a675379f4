// What every chip family provides, in one record, and the register state of one device that the rules keep.
#pragma once

#include <array>
#include <bitset>
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
  std::array<std::bitset<256>, 2> Written;                   // addresses written at least once
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

// Which channels and rhythm instruments a device type keys, as its key-on counts name them.
struct KeyLayout {
  int channels = 0;                              // key slots 0..channels-1
  std::span<const std::string_view> rhythm;      // names of key slots kChannelSlots + k, in the order listed
  bool rhythmFromTop = false;                    // rhythm name k goes with slot kChannelSlots + size - 1 - k
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
//   CaptureVoice   the timbre a channel's registers hold now (null for a family without FM voices);
//                  false for a channel that has none of its own (an SSG, a rhythm channel, the second
//                  channel of a joined OPL3 pair)
//   DescribeState  the device's state decoded into tables a person reads at a glance (snapshots and
//                  the loop check read the same fields; the family marks which change the sound)
struct ChipFamily {
  std::string_view name;
  std::unique_ptr<DetailDecoder> (*MakeAnnotator)();
  int (*Bank)(std::uint32_t type, int port);
  int (*Ports)(std::uint32_t type);
  KeyLayout (*Keys)(std::uint32_t type);
  void (*Apply)(ChipState& state, const DeviceInfo& device, int port, unsigned reg, unsigned value,
                WriteEffect& effect);
  bool (*CaptureVoice)(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice);
  void (*DescribeState)(const ChipState& state, const DeviceInfo& device, StateTables& tables);
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
