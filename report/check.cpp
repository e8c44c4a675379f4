// The checks of --check: head fields, device records against the writes, the dump stream, loop and tag
// offsets.
#include "report/check.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "chips/dispatch.h"
#include "core/status.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/tags.h"
#include "formats/vgm/gzip_source.h"
#include "model/register_model.h"
#include "report/state.h"

namespace tavrin {

namespace {

// Field offsets in the head, for findings about a field itself.
constexpr std::uint32_t kVersionField = 0x03;
constexpr std::uint32_t kNumeratorField = 0x04;
constexpr std::uint32_t kDenominatorField = 0x08;

// Five 7-bit groups already hold 35 bits; a longer count only repeats the top of a 32-bit value.
constexpr std::size_t kMaxCountBytes = 5;

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::uint32_t Unsigned(std::int32_t value) { return static_cast<std::uint32_t>(value); }

// Codes that name no chip: 0 (the version 2 list terminator), 10 to 14 and everything above 16.
bool NamesNoChip(std::uint32_t type) { return FamilyOf(type) == nullptr; }

bool HasTwoPorts(std::uint32_t type) {
  const ChipFamily* family = FamilyOf(type);
  return family != nullptr && family->Ports(type) > 1;
}

// A type code as the device table numbers it; a code outside the table in hexadecimal, and as its
// four bytes in file order where they are all printable (players of other chips write tags such as
// "SCC " there).
std::string TypeCodeText(std::uint32_t type) {
  if (type < kDeviceTypeCount) return std::to_string(type);
  std::string text = Hex8(type);
  std::string chars;
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<char>((type >> (8 * i)) & 0xFFu);
    if (c < 0x20 || c > 0x7E) return text;
    chars += c;
  }
  return text + " \"" + chars + "\"";
}

std::string Plural(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// What the walk saw of each device index.
struct DeviceUse {
  std::uint64_t writes = 0;
  std::uint32_t firstWrite = 0;
  std::uint64_t port1Writes = 0;
  std::uint32_t firstPort1Write = 0;
};

// Bytes from `from` up to `limit` or the end of the input, whichever comes first.
std::uint64_t CountBytes(ByteReader& in, std::uint64_t from, std::uint64_t limit) {
  if (limit <= from) return 0;
  in.Seek(from);
  std::array<std::uint8_t, 4096> buffer{};
  std::uint64_t count = 0;
  while (count < limit - from) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), limit - from - count));
    const std::size_t got = in.Read(buffer.data(), want);
    if (got == 0) break;
    count += got;
  }
  return count;
}

class Checker {
 public:
  Checker(ByteReader& in, const S98Info& head) : in_(in), head_(head), h_(head.header) {}

  void Run() {
    CheckHead();
    Walk();
    CheckEnd();
    CheckLoop();
    CheckLoopState();
    CheckTag();
    CheckDevices();
  }

  std::vector<CheckFinding> Take() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.offset < b.offset; });
    return std::move(findings_);
  }

 private:
  void Add(std::uint32_t offset, std::string text) {
    findings_.push_back(CheckFinding{offset, std::move(text)});
  }

  void CheckHead() {
    if (h_.version < '0' || h_.version > '3') {
      char text[64];
      std::snprintf(text, sizeof text, "the version byte 0x%02x is not \"0\" to \"3\"", h_.version);
      Add(kVersionField, text);
    }
    if (h_.timerNumerator < 0) {
      Add(kNumeratorField, "the timer numerator " + std::to_string(h_.timerNumerator) + " is negative");
    }
    if (h_.timerDenominator < 0) {
      Add(kDenominatorField, "the timer denominator " + std::to_string(h_.timerDenominator) + " is negative");
    }
    // Timestamps divide by denominator x 3600, taken in 32 bits.
    if (static_cast<std::uint32_t>(Unsigned(h_.timerDenominator) * 3600u) == 0) {
      Add(kDenominatorField, "the timer denominator " + Hex8(Unsigned(h_.timerDenominator)) +
                                 " times 3600 is 0 in 32 bits: no timestamp can be printed");
    }
    const std::uint32_t headEnd =
        static_cast<std::uint32_t>(kHeaderSize + head_.devices.size() * kDeviceRecordSize);
    if (h_.dataOffset >= 0 && Unsigned(h_.dataOffset) < headEnd) {
      Add(Unsigned(h_.dataOffset),
          "the data offset points into the head or the device records (they end at " + Hex8(headEnd) + ")");
    }
    if (h_.tagOffset != 0 && Unsigned(h_.tagOffset) < headEnd) {
      Add(Unsigned(h_.tagOffset), "the tag offset points into the head or the device records");
    }
  }

  void Walk() {
    // Walk as a player does, up to the end command or the end of the file, not stopping at the tag.
    S98Header unbounded = h_;
    unbounded.tagOffset = 0;
    DumpWalker walker(in_, unbounded);
    RegisterModel model(DeviceTableOf(head_));
    Command cmd;
    std::uint64_t ticks = 0;
    int longCounts = 0;
    dumpEnd_ = Unsigned(h_.dataOffset);
    while (walker.Next(cmd)) {
      ++commands_;
      const std::uint32_t at = Unsigned(cmd.offset);
      const auto length = static_cast<std::uint32_t>(CommandLength(cmd));
      const std::uint32_t loop = Unsigned(h_.loopOffset);
      if (cmd.atLoop && !loopSeen_) {
        loopSeen_ = true;
        loopTick_ = ticks;
        loopState_ = TakeSnapshot(model);
      } else if (at < loop && loop - at < length) {
        loopInside_ = at;
      }
      if (cmd.command == 0xFE && cmd.countLength > kMaxCountBytes) {
        if (++longCounts <= kMaxRepeatedFindings) {
          Add(at, "a wait count of " + std::to_string(cmd.countLength) +
                      " bytes: more than 5 cannot add to a 32-bit count, and players read it differently");
        }
      }
      switch (cmd.kind) {
        case CommandKind::Wait:
          ticks += Unsigned(cmd.ticks);
          break;
        case CommandKind::End:
          hasEnd_ = true;
          endOffset_ = at;
          endState_ = TakeSnapshot(model);
          break;
        case CommandKind::Write: {
          model.Apply(cmd.device, cmd.port, cmd.reg, cmd.value);
          DeviceUse& use = uses_[static_cast<std::size_t>(cmd.device)];
          if (use.writes++ == 0) use.firstWrite = at;
          if (cmd.port == 1 && use.port1Writes++ == 0) use.firstPort1Write = at;
          break;
        }
        case CommandKind::Cut:
          Add(at, cmd.command == 0xFE ? "the file ends inside the count of this wait"
                                      : "the file ends inside this register write");
          cut_ = true;
          break;
        case CommandKind::Other:
          break;
      }
      dumpEnd_ = at + length;
    }
    if (longCounts > kMaxRepeatedFindings) {
      Add(dumpEnd_, Plural(static_cast<std::uint64_t>(longCounts - kMaxRepeatedFindings), "more wait count",
                           "more wait counts") +
                        " longer than 5 bytes, not listed");
    }
    totalTicks_ = ticks;
  }

  void CheckEnd() {
    if (commands_ == 0) {
      Add(Unsigned(h_.dataOffset), "the data offset lies at or past the end of the file: the dump is empty");
      return;
    }
    if (!hasEnd_) {
      if (dumpEnd_ >= Unsigned(kOffsetLimit)) {
        Add(Unsigned(kOffsetLimit),
            "the file is longer than S98 offsets can address (0x7fffffff at most) and has no end command "
            "before that: the offsets of commands after it wrap around");
      } else if (!cut_) {
        Add(dumpEnd_, "the dump has no end command (0xfd): it runs to the end of the file");
      }
      return;
    }
    // Whatever lies between the end command and the tag (or the end of the file) is never played.
    const std::uint64_t after = static_cast<std::uint64_t>(endOffset_) + 1;
    const std::uint64_t limit = Unsigned(h_.tagOffset) > endOffset_ ? Unsigned(h_.tagOffset) : UINT64_MAX;
    const std::uint64_t trailing = CountBytes(in_, after, limit);
    if (trailing != 0) {
      Add(static_cast<std::uint32_t>(after),
          Plural(trailing, "byte", "bytes") + " after the end command, before " +
              (limit == UINT64_MAX ? std::string("the end of the file")
                                   : "the tag at " + Hex8(Unsigned(h_.tagOffset))) +
              ": commands there are never played");
    }
  }

  void CheckLoop() {
    if (h_.loopOffset == 0) return;
    const std::uint32_t loop = Unsigned(h_.loopOffset);
    if (h_.loopOffset < h_.dataOffset) {
      Add(loop, "the loop offset lies before the dump data at " + Hex8(Unsigned(h_.dataOffset)));
    } else if (loop >= dumpEnd_) {
      Add(loop, "the loop offset lies past the end of the dump at " + Hex8(dumpEnd_));
    } else if (!loopSeen_) {
      Add(loop, "the loop offset is not at the start of a command: it falls inside the command at " +
                    Hex8(loopInside_));
    } else if (hasEnd_ && totalTicks_ == loopTick_) {
      Add(loop,
          "no wait between the loop point and the end command: a player looping here never advances time");
    }
  }

  // What a player holds when it jumps back from the end command is the state at the end; where that
  // differs from the state the loop first started from in what is heard, the repeat sounds different.
  void CheckLoopState() {
    if (!loopSeen_ || !hasEnd_) return;
    const std::uint32_t loop = Unsigned(h_.loopOffset);
    for (std::size_t i = 0; i < loopState_.size() && i < endState_.size(); ++i) {
      const DeviceSnapshot& d = loopState_[i];
      for (const SoundDifference& g : SoundDifferences(*d.family, d.info, d.state, endState_[i].state)) {
        char device[8];
        std::snprintf(device, sizeof device, "#%02d", d.device);
        Add(loop, std::string(device) + " " + std::string(DeviceName(d.info.type)) + " " + g.channel +
                      " differs when the player jumps back here (loop point -> end): " + g.changes);
      }
    }
  }

  void CheckTag() {
    if (h_.tagOffset == 0) return;
    const std::uint32_t tag = Unsigned(h_.tagOffset);
    const std::uint32_t dumpStop = hasEnd_ ? endOffset_ + 1 : dumpEnd_;
    if (h_.tagOffset > h_.dataOffset && tag < dumpStop) {
      Add(tag, "the tag offset lies inside the dump (which ends at " + Hex8(dumpStop) +
                   "): what follows it is cut off for anything that stops at the tag");
    }
    const TagBlock block = ReadTagBlock(in_, h_);
    for (const std::string& note : block.notes) Add(tag, "tag: " + note);
  }

  void CheckDevices() {
    for (int d = 0; d < kDeviceIndexCount; ++d) {
      const DeviceUse& use = uses_[static_cast<std::size_t>(d)];
      if (use.writes == 0) continue;
      char device[8];
      std::snprintf(device, sizeof device, "#%02d", d);
      const DeviceInfo* info = DeviceRecordFor(head_, d);
      if (head_.devices.empty() && d != 0) {
        // The report attributes these to the default OPNA too, but a player has only the one chip.
        Add(use.firstWrite, Plural(use.writes, "write", "writes") + " to device " + device +
                                ": a file without device records has only the default OPNA, #00");
        continue;
      }
      if (info == nullptr) {
        Add(use.firstWrite, Plural(use.writes, "write", "writes") + " to device " + device +
                                ", which has no device record (the file lists " +
                                Plural(head_.devices.size(), "device", "devices") + ")");
        continue;
      }
      if (NamesNoChip(info->type)) {
        Add(use.firstWrite, Plural(use.writes, "write", "writes") + " to device " + device + " of type " +
                                TypeCodeText(info->type) + " " + std::string(DeviceName(info->type)) +
                                ", which names no chip");
        continue;
      }
      if (use.port1Writes != 0 && !HasTwoPorts(info->type)) {
        Add(use.firstPort1Write, Plural(use.port1Writes, "port 1 write", "port 1 writes") + " to device " +
                                     device + " " + std::string(DeviceName(info->type)) +
                                     ", which has one port");
      }
    }
  }

  ByteReader& in_;
  const S98Info& head_;
  const S98Header& h_;
  std::vector<CheckFinding> findings_;
  std::array<DeviceUse, kDeviceIndexCount> uses_{};
  std::uint64_t commands_ = 0;
  std::uint64_t totalTicks_ = 0;
  std::uint64_t loopTick_ = 0;
  bool loopSeen_ = false;
  std::uint32_t loopInside_ = 0;
  bool hasEnd_ = false;
  bool cut_ = false;
  std::uint32_t endOffset_ = 0;
  std::uint32_t dumpEnd_ = 0;  // just past the last command read
  std::vector<DeviceSnapshot> loopState_;  // before the command at the loop offset
  std::vector<DeviceSnapshot> endState_;   // before the end command
};

}  // namespace

std::string CheckS98(ByteReader& in, bool skipVersionCheck, std::vector<CheckFinding>& findings) {
  findings.clear();
  S98Info head;
  if (std::string status = ReadHead(in, skipVersionCheck, head); !status.empty()) return status;
  Checker checker(in, head);
  checker.Run();
  findings = checker.Take();
  return {};
}

std::string CheckS98Bytes(std::span<const std::uint8_t> input, bool skipVersionCheck,
                          std::vector<CheckFinding>& findings) {
  ByteReader in(input);
  SpanSource bytes(input);
  return CheckLog(in, bytes, skipVersionCheck, findings);
}

std::string CheckLog(ByteReader& in, ByteSource& source, bool skipVersionCheck, std::vector<CheckFinding>& findings) {
  if (const LogKind kind = SniffLog(in); kind != LogKind::S98) {
    return WithVgmBytes(kind, in, source, [&](ByteReader& vgm) {
      std::string status = CheckVgm(vgm, findings);
      if (status.empty() && vgm.Failed()) status = std::string(kStatusFileReadError);
      return status;
    });
  }
  return CheckS98(in, skipVersionCheck, findings);
}

void WriteCheckLines(ReportSink& out, std::string_view name, std::string_view status,
                     const std::vector<CheckFinding>& findings) {
  if (!status.empty()) {
    out.Print<"%s: %s\n">(name, status);
    return;
  }
  for (const CheckFinding& f : findings) out.Print<"%s: 0x%08x: %s\n">(name, f.offset, f.text);
}

}  // namespace tavrin
