// --stats: what a dump holds (commands, writes per device and port, waits, duration, loop, key-ons,
// registers).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
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

  // Every command of the walk, in order, with what the register model says it changed.
  void Observe(const WalkStep& step) override;
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
    std::uint32_t count = 0;
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
  bool pastOffsetLimit_ = false;  // a command lies beyond what a 32-bit signed offset can name
  // What Finish needs of the last command: where it starts and how long it is.
  struct LastCommand {
    std::int32_t offset = 0;
    CommandKind kind = CommandKind::End;
    std::uint64_t length = 0;
  };
  LastCommand last_;

  // Counts a shown write; CountFirstWrite first makes the register counts of its device.
  void CountWrite(const Command& cmd, const WriteEffect& effect);
  [[gnu::noinline]] void CountFirstWrite(const Command& cmd, const WriteEffect& effect);
  EndKind endKind_ = EndKind::NoCommand;
  std::int32_t endOffset_ = 0;

  std::vector<std::uint64_t> portWrites_;      // [device][port]
  // Register counts of the devices written so far, [port][register] each, in the order first written:
  // a log writes a few of the 127 indices, and a short one should not clear counts for all of them.
  std::vector<std::array<std::uint32_t, 2 * 256>> registerWrites_;
  std::array<std::uint32_t, kDeviceIndexCount> registerBlockOf_{};  // 1 + its block; 0: none yet
  std::vector<std::uint32_t> keyOns_;          // [device][key slot]
};

}  // namespace tavrin
