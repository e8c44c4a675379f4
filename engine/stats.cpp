// Counting a dump for --stats, and the "[ Statistics ]" section.
//
// Key-on registers counted, per family (an event is a write that turns on a key that was off):
//
//   OPN, OPN2, OPNA   $28 (port 0)  xxxx---- slot mask (operators 4-1)
//                                   -----x-- channel bank (channels 4-6; ignored by the 3-channel OPN)
//                                   ------xx channel 1-3 (3 selects nothing)
//   OPNA rhythm       $10 (port 0)  x------- dump (key off); a clear bit 7 keys on every set bit:
//                                   --xxxxxx RIM TOM HH TOP SD BD  (a trigger: each write is an event)
//   OPM               $08           -xxxx--- slot mask (C2 M2 C1 M1)
//                                   -----xxx channel 1-8
//   OPL, OPL2, OPL3   $B0-$B8       --x----- key on of channel 1-9 (port 1 of the OPL3: 10-18)
//                     $BD (port 0)  --x----- rhythm mode; with it set:
//                                   ---xxxxx BD SD TOM CYM HH
//   OPLL              $20-$28       ---x---- key on of channel 1-9
//                     $0E           --x----- rhythm mode; with it set:
//                                   ---xxxxx BD SD TOM CYM HH
//
// Channels are numbered from 0 as the annotations number them (FM#0 up).
#include "engine/stats.h"

#include <charconv>

#include "decoders/bits.h"
#include "engine/timestamp.h"

namespace tavrin {

namespace {

constexpr int kPorts = 2;
constexpr int kRegisters = 256;

// A 64-bit count as text for a %s field (the report writer's %d is 32-bit).
class Count {
 public:
  explicit Count(std::uint64_t value) {
    const auto result = std::to_chars(text_, text_ + sizeof text_, value);
    size_ = static_cast<std::size_t>(result.ptr - text_);
  }
  std::string_view View() const { return {text_, size_}; }

 private:
  char text_[24];
  std::size_t size_ = 0;
};

// Register fields of the key-on registers in the map above.
constexpr unsigned OpnKeySlots(unsigned v) { return Bitfield(v, 4, 4); }
constexpr unsigned OpnKeyChannel(unsigned v) { return Bitfield(v, 0, 2); }
constexpr bool OpnKeyUpperBank(unsigned v) { return Bit(v, 2); }
constexpr bool OpnaRhythmDump(unsigned v) { return Bit(v, 7); }
constexpr unsigned OpnaRhythmKeys(unsigned v) { return Bitfield(v, 0, 6); }
constexpr unsigned OpmKeySlots(unsigned v) { return Bitfield(v, 3, 4); }
constexpr unsigned OpmKeyChannel(unsigned v) { return Bitfield(v, 0, 3); }
constexpr bool OplKeyOn(unsigned v) { return Bit(v, 5); }
constexpr bool OpllKeyOn(unsigned v) { return Bit(v, 4); }
constexpr bool RhythmMode(unsigned v) { return Bit(v, 5); }  // OPL $BD and OPLL $0E alike
constexpr unsigned RhythmKeys(unsigned v) { return Bitfield(v, 0, 5); }

// Rhythm instrument of each rhythm bit.
constexpr std::array<std::string_view, 6> kOpnaRhythmNames = {"BD", "SD", "TOP", "HH", "TOM", "RIM"};
constexpr std::array<std::string_view, 5> kOplRhythmNames = {"HH", "CYM", "TOM", "SD", "BD"};

}  // namespace

DumpStats::DumpStats(const S98Head& head, bool selective)
    : header_(head.header),
      selective_(selective),
      portWrites_(static_cast<std::size_t>(kDeviceIndexCount * kPorts)),
      registerWrites_(static_cast<std::size_t>(kDeviceIndexCount * kPorts * kRegisters)),
      keyOns_(static_cast<std::size_t>(kDeviceIndexCount * kKeySlots)),
      keyStates_(static_cast<std::size_t>(kDeviceIndexCount)) {
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* info = DeviceRecordFor(head, d);
    const auto i = static_cast<std::size_t>(d);
    if (info == nullptr) {
      names_[i] = kUnknownDeviceName;
      continue;
    }
    names_[i] = DeviceName(info->type);
    // The default device stands for every index, but only #00 is listed when nothing else is written.
    listed_[i] = !head.devices.empty() ? true : d == 0;
    switch (static_cast<DeviceType>(info->type)) {
      case DeviceType::Opn:
        families_[i] = KeyFamily::Opn3;
        break;
      case DeviceType::Opn2:
        families_[i] = KeyFamily::Opn6;
        break;
      case DeviceType::Opna:
        families_[i] = KeyFamily::Opna;
        break;
      case DeviceType::Opm:
        families_[i] = KeyFamily::Opm;
        break;
      case DeviceType::Opl:
      case DeviceType::Opl2:
        families_[i] = KeyFamily::Opl;
        break;
      case DeviceType::Opl3:
        families_[i] = KeyFamily::Opl3;
        break;
      case DeviceType::Opll:
        families_[i] = KeyFamily::Opll;
        break;
      default:
        families_[i] = KeyFamily::None;
        break;
    }
  }
}

void DumpStats::Observe(const DumpCommand& cmd, bool shown) {
  if (cmd.atLoop && !loopFound_) {
    loopFound_ = true;
    loopTick_ = totalTicks_;
  }
  if (cmd.kind == CommandKind::Sync) totalTicks_ += static_cast<std::uint32_t>(cmd.ticks);
  if (cmd.kind == CommandKind::Write) ObserveKeyOn(cmd.device, cmd.port, cmd.reg, cmd.value, shown);
  any_ = true;
  last_ = cmd;
  if (!shown) return;
  ++commands_;
  if (cmd.kind == CommandKind::Sync) {
    ++waits_;
    waitTicks_ += static_cast<std::uint32_t>(cmd.ticks);
  } else if (cmd.kind == CommandKind::Write) {
    ++writes_;
    const auto slot = static_cast<std::size_t>(cmd.device * kPorts + cmd.port);
    ++portWrites_[slot];
    ++registerWrites_[slot * kRegisters + cmd.reg];
  }
}

void DumpStats::CountKeyOn(int device, int slot, bool shown) {
  if (shown) ++keyOns_[static_cast<std::size_t>(device * kKeySlots + slot)];
}

void DumpStats::KeyOnChannel(int device, int channel, std::uint8_t held, bool shown) {
  std::uint8_t& was = keyStates_[static_cast<std::size_t>(device)].Held[static_cast<std::size_t>(channel)];
  if ((held & ~was) != 0) CountKeyOn(device, channel, shown);
  was = held;
}

void DumpStats::ObserveKeyOn(int device, int port, unsigned reg, unsigned value, bool shown) {
  const KeyFamily family = families_[static_cast<std::size_t>(device)];
  KeyState& state = keyStates_[static_cast<std::size_t>(device)];
  switch (family) {
    case KeyFamily::None:
      return;
    case KeyFamily::Opn3:
    case KeyFamily::Opn6:
    case KeyFamily::Opna:
      if (port == 0 && reg == 0x28) {
        int channel = static_cast<int>(OpnKeyChannel(value));
        if (channel == 3) return;
        if (family != KeyFamily::Opn3 && OpnKeyUpperBank(value)) channel += 3;
        KeyOnChannel(device, channel, static_cast<std::uint8_t>(OpnKeySlots(value)), shown);
      } else if (family == KeyFamily::Opna && port == 0 && reg == 0x10 && !OpnaRhythmDump(value)) {
        for (unsigned bit = 0; bit < kOpnaRhythmNames.size(); ++bit) {
          if (Bit(OpnaRhythmKeys(value), bit))
            CountKeyOn(device, kChannelSlots + static_cast<int>(bit), shown);
        }
      }
      return;
    case KeyFamily::Opm:
      if (port == 0 && reg == 0x08) {
        KeyOnChannel(device, static_cast<int>(OpmKeyChannel(value)),
                     static_cast<std::uint8_t>(OpmKeySlots(value)), shown);
      }
      return;
    case KeyFamily::Opl:
    case KeyFamily::Opl3:
    case KeyFamily::Opll: {
      const bool opll = family == KeyFamily::Opll;
      if (port == 1 && family != KeyFamily::Opl3) return;  // only the OPL3 has a second register bank
      const unsigned keyBase = opll ? 0x20 : 0xB0;
      const unsigned rhythmReg = opll ? 0x0E : 0xBD;
      if (reg >= keyBase && reg <= keyBase + 8) {
        const int channel = static_cast<int>(reg - keyBase) + (port == 1 ? 9 : 0);
        const bool on = opll ? OpllKeyOn(value) : OplKeyOn(value);
        KeyOnChannel(device, channel, on ? 1 : 0, shown);
      } else if (reg == rhythmReg && port == 0) {
        const auto held = static_cast<std::uint8_t>(RhythmMode(value) ? RhythmKeys(value) : 0);
        const unsigned turnedOn = held & ~state.RhythmHeld;
        for (unsigned bit = 0; bit < kOplRhythmNames.size(); ++bit) {
          if (Bit(turnedOn, bit)) CountKeyOn(device, kChannelSlots + static_cast<int>(bit), shown);
        }
        state.RhythmHeld = held;
      }
      return;
    }
  }
}

void DumpStats::Finish(std::int32_t endBound) {
  if (!any_) {
    endKind_ = EndKind::NoCommand;
    endOffset_ = header_.dataOffset;
    return;
  }
  endOffset_ = last_.offset;
  if (last_.kind == CommandKind::End) {
    endKind_ = EndKind::EndCommand;
  } else if (last_.kind == CommandKind::Cut) {
    endKind_ = EndKind::Cut;
  } else {
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(last_.offset) +
                                                static_cast<std::uint32_t>(CommandLength(last_)));
    // A command that starts before the tag may reach into it; the bound is what stopped the walk.
    endKind_ = next >= endBound ? EndKind::TagBound : EndKind::EndOfFile;
    endOffset_ = endKind_ == EndKind::TagBound ? endBound : next;
  }
}

double DumpStats::Seconds(std::uint64_t ticks) const {
  return static_cast<double>(ticks) * header_.timerNumerator / header_.timerDenominator;
}

// Elapsed time in the dump's own 32-bit units, so the times here read like the dump's timestamps.
std::int32_t DumpStats::ElapsedOf(std::uint64_t ticks) const {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) *
                                   static_cast<std::uint32_t>(header_.timerNumerator));
}

std::vector<DumpStats::DeviceRow> DumpStats::Devices() const {
  std::vector<DeviceRow> rows;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const auto i = static_cast<std::size_t>(d);
    DeviceRow row;
    row.device = d;
    row.name = names_[i];
    row.writes = {portWrites_[i * kPorts], portWrites_[i * kPorts + 1]};
    if (!listed_[i] && row.writes[0] == 0 && row.writes[1] == 0) continue;
    const KeyFamily family = families_[i];
    int channels = 0;
    std::size_t rhythm = 0;  // rhythm bits of the family
    switch (family) {
      case KeyFamily::None:
        break;
      case KeyFamily::Opn3:
        channels = 3;
        break;
      case KeyFamily::Opn6:
        channels = 6;
        break;
      case KeyFamily::Opna:
        channels = 6;
        rhythm = kOpnaRhythmNames.size();
        break;
      case KeyFamily::Opm:
        channels = 8;
        break;
      case KeyFamily::Opl:
      case KeyFamily::Opll:
        channels = 9;
        rhythm = kOplRhythmNames.size();
        break;
      case KeyFamily::Opl3:
        channels = 18;
        rhythm = kOplRhythmNames.size();
        break;
    }
    row.hasKeyOn = family != KeyFamily::None;
    const std::uint32_t* counts = &keyOns_[i * kKeySlots];
    for (int c = 0; c < channels; ++c) {
      row.keyOns.push_back(KeyOnCount{"FM#" + std::to_string(c), counts[c]});
    }
    // OPL and OPLL name their rhythm bits from the top (BD is bit 4); OPNA from the bottom (BD is bit 0).
    for (std::size_t k = 0; k < rhythm; ++k) {
      const std::size_t bit = family == KeyFamily::Opna ? k : rhythm - 1 - k;
      const std::string_view name = family == KeyFamily::Opna ? kOpnaRhythmNames[bit] : kOplRhythmNames[bit];
      row.keyOns.push_back(KeyOnCount{std::string(name), counts[kChannelSlots + bit]});
    }
    for (int port = 0; port < kPorts; ++port) {
      const std::uint32_t* regs =
          &registerWrites_[(i * kPorts + static_cast<std::size_t>(port)) * kRegisters];
      for (unsigned r = 0; r < kRegisters; ++r) {
        if (regs[r] != 0) row.registers.push_back(RegisterCount{port, r, regs[r]});
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void DumpStats::Write(ReportSink& out) const {
  const std::int32_t denominator = header_.timerDenominator;
  out.Print<"\r\n[ Statistics ]\r\n">();
  if (selective_) {
    out.Print<
        "Counted        = the commands shown in the dump section (duration and loop: the whole dump)\r\n">();
  } else {
    out.Print<"Counted        = every command\r\n">();
  }
  out.Print<"Commands       = %s\r\n">(Count(commands_).View());
  out.Print<"Writes         = %s\r\n">(Count(writes_).View());
  out.Print<"Waits          = %s (%s ticks)\r\n">(Count(waits_).View(), Count(waitTicks_).View());
  out.Print<"Duration       = %s ticks  ">(Count(totalTicks_).View());
  FormatTimestamp(out, ElapsedOf(totalTicks_), denominator);
  out.Print<"\r\n">();
  out.Print<"Loop Start     = 0x%08x">(header_.loopOffset);
  if (header_.loopOffset == 0 && !loopFound_) {
    out.Print<" (no loop)\r\n">();
  } else if (!loopFound_) {
    out.Print<" (no command starts there)\r\n">();
  } else {
    out.Print<"  tick %s  ">(Count(loopTick_).View());
    FormatTimestamp(out, ElapsedOf(loopTick_), denominator);
    out.Print<"\r\nLoop Length    = %s ticks  ">(Count(totalTicks_ - loopTick_).View());
    FormatTimestamp(out, ElapsedOf(totalTicks_ - loopTick_), denominator);
    out.Print<"\r\n">();
  }
  switch (endKind_) {
    case EndKind::NoCommand:
      out.Print<"Stream End     = no command at the data offset 0x%08x\r\n">(endOffset_);
      break;
    case EndKind::EndCommand:
      out.Print<"Stream End     = end command at 0x%08x\r\n">(endOffset_);
      break;
    case EndKind::Cut:
      out.Print<"Stream End     = cut short inside the command at 0x%08x\r\n">(endOffset_);
      break;
    case EndKind::TagBound:
      out.Print<"Stream End     = tag offset 0x%08x (no end command)\r\n">(endOffset_);
      break;
    case EndKind::EndOfFile:
      out.Print<"Stream End     = end of the file at 0x%08x (no end command)\r\n">(endOffset_);
      break;
  }

  for (const DeviceRow& row : Devices()) {
    out.Print<"\r\n#%02d %-16s writes %s (port 0: %s, port 1: %s)\r\n">(
        row.device, row.name, Count(row.writes[0] + row.writes[1]).View(), Count(row.writes[0]).View(),
        Count(row.writes[1]).View());
    if (row.hasKeyOn) {
      out.Print<"    key-on ">();
      for (const KeyOnCount& k : row.keyOns) out.Print<" %s=%s">(k.label, Count(k.count).View());
      out.Print<"\r\n">();
    }
    // Sixteen registers a line, continuation lines indented under the first.
    int lastPort = -1;
    int onLine = 0;
    for (const RegisterCount& r : row.registers) {
      if (r.port != lastPort || onLine == 16) {
        if (lastPort >= 0) out.Print<"\r\n">();
        if (r.port != lastPort) {
          out.Print<"    port %d ">(r.port);
        } else {
          out.Print<"           ">();
        }
        lastPort = r.port;
        onLine = 0;
      }
      out.Print<" $%02x=%s">(r.reg, Count(r.count).View());
      ++onLine;
    }
    if (lastPort >= 0) out.Print<"\r\n">();
  }
}

}  // namespace tavrin
