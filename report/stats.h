// --stats: what a dump holds (commands, writes per device and port, waits, duration, loop, key-ons,
// registers).
#pragma once

#include <array>
#include <bit>  // std::countr_zero
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chips/family.h"
#include "core/command.h"
#include "core/device.h"
#include "core/report_sink.h"
#include "report/section.h"

namespace tavrin {

// Counts are taken from the commands whose lines are shown (all of them without --from, --to or
// --device); the duration, the loop and the end of the stream are those of the whole dump.
// Key-on state follows every write, shown or not, so an event is counted where it happens.
class DumpStats final : public ReportSection {
 public:
  DumpStats(const StreamHead& head, const DeviceTable& devices, bool selective);

  // Every command of the walk, in order, with what the register model says it changed. The walk calls
  // Count itself (inline, for every command of a --stats report); Observe is the same for callers
  // that hold a ReportSection.
  void Count(const Command& cmd, bool shown, const WriteEffect& effect);
  // The last command of the stream, once it is over (the walk keeps it; not called for a stream
  // without commands).
  void Last(const Command& cmd) {
    any_ = true;
    last_ = LastCommand{cmd.offset, cmd.kind, CommandLength(cmd)};
  }
  void Observe(const WalkStep& step) override {
    Count(step.cmd, step.shown, step.effect);
    Last(step.cmd);
  }
  void Finish(std::int32_t endBound) override;

  // How the stream ended.
  enum class EndKind : std::uint8_t { NoCommand, EndCommand, Cut, TagBound, OffsetLimit, EndOfFile };

  struct KeyOnCount {
    std::string label;  // "FM#3", "BD", ...
    std::uint32_t count = 0;
  };
  struct RegisterCount {
    int port = 0;
    unsigned reg = 0;
    std::uint64_t count = 0;
  };
  // One device of the list, or an index without a record that was written to.
  struct DeviceRow {
    int device = 0;  // as the dump numbers it, from #00
    std::string_view name;
    std::array<std::uint64_t, 2> writes{};  // per port
    bool hasKeyOn = false;                  // its family has a key-on register
    std::vector<KeyOnCount> keyOns;
    std::vector<RegisterCount> registers;  // port 0 first, registers ascending, only those written
  };

  bool selective() const { return selective_; }
  std::uint64_t commands() const { return commands_; }
  std::uint64_t writes() const { return writes_; }
  std::uint64_t waits() const { return waits_; }
  std::uint64_t waitTicks() const { return waitTicks_; }
  std::uint64_t totalTicks() const { return totalTicks_; }
  double Seconds(std::uint64_t ticks) const;
  std::int32_t loopOffset() const { return head_.loopOffset; }
  bool loopFound() const { return loopFound_; }
  std::uint64_t loopTick() const { return loopTick_; }
  EndKind endKind() const { return endKind_; }
  std::int32_t endOffset() const { return endOffset_; }  // of the end command, the cut command, or the bound
  std::vector<DeviceRow> Devices() const;

  // "\r\n[ Statistics ]\r\n" and its lines.
  void WriteText(ReportSink& out) const override;
  // One "stats" object.
  void WriteJson(ReportSink& out) const override;

 private:
  StreamHead head_;
  DeviceTable devices_;
  bool selective_;

  std::uint64_t commands_ = 0;
  std::uint64_t writes_ = 0;
  std::uint64_t waits_ = 0;
  std::uint64_t waitTicks_ = 0;
  std::uint64_t totalTicks_ = 0;
  bool loopFound_ = false;
  std::uint64_t loopTick_ = 0;
  bool any_ = false;
  std::uint64_t otherCommands_ = 0;  // shown commands neither writes nor waits
  std::uint32_t offsetBits_ = 0;     // every offset or-ed: the sign bit marks one past what S98 offsets name
  // What Finish needs of the last command: where it starts and how long it is.
  struct LastCommand {
    std::int32_t offset = 0;
    CommandKind kind = CommandKind::End;
    std::uint64_t length = 0;
  };
  LastCommand last_;

  // Counts a shown write; CountFirstWrite first makes the register counts of its device. Commands and
  // writes are summed in Finish.
  [[gnu::always_inline]] void CountWrite(const Command& cmd, const WriteEffect& effect) {
    ++registerWrites_[static_cast<std::size_t>(cmd.device)][static_cast<std::size_t>(cmd.port * kRegisters) + cmd.reg];
    for (std::uint32_t keyed = effect.keyedOn; keyed != 0; keyed &= keyed - 1) {
      ++keyOns_[static_cast<std::size_t>(cmd.device * kKeySlots + std::countr_zero(keyed))];
    }
  }
  [[gnu::noinline]] void CountFirstWrite(const Command& cmd, const WriteEffect& effect);
  EndKind endKind_ = EndKind::NoCommand;
  std::int32_t endOffset_ = 0;

  static constexpr int kPorts = 2;
  static constexpr int kRegisters = 256;
  // Register counts of the devices written so far, [port][register] each, made at a device's first
  // write: a log writes a few of the 127 indices, and a short one should not clear counts for all of
  // them. The writes of a port are the sum of its registers' counts.
  using RegisterCounts = std::array<std::uint64_t, kPorts * kRegisters>;
  std::vector<std::unique_ptr<RegisterCounts>> registerBlocks_;
  std::array<std::uint64_t*, kDeviceIndexCount> registerWrites_{};  // into registerBlocks_; null: none yet
  std::vector<std::uint32_t> keyOns_;          // [device][key slot]
};

[[gnu::always_inline]] inline void DumpStats::Count(const Command& cmd, bool shown, const WriteEffect& effect) {
  if (cmd.atLoop && !loopFound_) {
    loopFound_ = true;
    loopTick_ = totalTicks_;
  }
  // Commands start at the data offset (never negative) and go up: a negative offset has wrapped, and
  // its sign bit stays in offsetBits_.
  offsetBits_ |= static_cast<std::uint32_t>(cmd.offset);
  if (cmd.kind == CommandKind::Write) {
    if (!shown) return;
    // The first write of a device makes its counts out of line, so this path saves no registers.
    if (registerWrites_[static_cast<std::size_t>(cmd.device)] == nullptr) return CountFirstWrite(cmd, effect);
    CountWrite(cmd, effect);
  } else if (cmd.kind == CommandKind::Wait) {
    const auto ticks = static_cast<std::uint32_t>(cmd.ticks);
    totalTicks_ += ticks;
    if (!shown) return;
    ++waits_;
    waitTicks_ += ticks;
  } else if (shown) {
    ++otherCommands_;
  }
}

}  // namespace tavrin
