// Counting a dump for --stats, and the "[ Statistics ]" section. Key-ons are the register model's:
// each chip family says which writes key which channel or rhythm instrument.
#include "report/stats.h"

#include <charconv>

#include "chips/dispatch.h"
#include "core/timestamp.h"
#include "report/json_line.h"

namespace tavrin {

namespace {

// A 64-bit count as text for a %s field (the report writer's %d is 32-bit).
class CountText {
 public:
  explicit CountText(std::uint64_t value) {
    const auto result = std::to_chars(text_, text_ + sizeof text_, value);
    size_ = static_cast<std::size_t>(result.ptr - text_);
  }
  std::string_view View() const { return {text_, size_}; }

 private:
  char text_[24];
  std::size_t size_ = 0;
};

}  // namespace

DumpStats::DumpStats(const StreamHead& head, const DeviceTable& devices, bool selective)
    : head_(head),
      devices_(devices),
      selective_(selective),
      keyOns_(static_cast<std::size_t>(kDeviceIndexCount * kKeySlots)) {}

void DumpStats::CountFirstWrite(const Command& cmd, const WriteEffect& effect) {
  registerBlocks_.push_back(std::make_unique<RegisterCounts>());
  registerWrites_[static_cast<std::size_t>(cmd.device)] = registerBlocks_.back()->data();
  CountWrite(cmd, effect);
}

void DumpStats::Finish(std::int32_t endBound) {
  writes_ = 0;
  for (const auto& block : registerBlocks_) {
    for (const std::uint64_t count : *block) writes_ += count;
  }
  commands_ = writes_ + waits_ + otherCommands_;
  const bool pastOffsetLimit = (offsetBits_ & 0x80000000u) != 0;
  if (!any_) {
    endKind_ = EndKind::NoCommand;
    endOffset_ = head_.dataOffset;
    return;
  }
  endOffset_ = last_.offset;
  if (last_.kind == CommandKind::End) {
    endKind_ = EndKind::EndCommand;
  } else if (last_.kind == CommandKind::Cut) {
    endKind_ = EndKind::Cut;
  } else {
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(last_.offset) +
                                                static_cast<std::uint32_t>(last_.length));
    // A command that starts before the tag may reach into it; the bound is what stopped the walk.
    if (next >= endBound) {
      // Without a tag the only bound is the offset limit: the file goes on past what offsets can name.
      endKind_ = head_.tagBound ? EndKind::TagBound : EndKind::OffsetLimit;
      endOffset_ = endBound;
    } else {
      endKind_ = pastOffsetLimit ? EndKind::OffsetLimit : EndKind::EndOfFile;
      endOffset_ = next;
    }
  }
}

double DumpStats::Seconds(std::uint64_t ticks) const {
  return static_cast<double>(ticks) * head_.rate.numerator / head_.rate.denominator;
}

std::vector<DumpStats::DeviceRow> DumpStats::Devices() const {
  std::vector<DeviceRow> rows;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const auto i = static_cast<std::size_t>(d);
    const DeviceInfo* info = devices_.Find(d);
    DeviceRow row;
    row.device = d;
    row.name = info != nullptr ? DeviceName(info->type) : kUnknownDeviceName;
    const std::uint64_t* regs = registerWrites_[i];
    for (int port = 0; port < kPorts && regs != nullptr; ++port) {
      for (unsigned r = 0; r < kRegisters; ++r) {
        const std::uint64_t count = regs[static_cast<std::size_t>(port * kRegisters) + r];
        if (count == 0) continue;
        row.writes[static_cast<std::size_t>(port)] += count;
        row.registers.push_back(RegisterCount{port, r, count});
      }
    }
    if (!devices_.listed[i] && regs == nullptr) continue;
    const ChipFamily* family = info != nullptr ? FamilyOf(info->type) : nullptr;
    const KeyLayout keys = family != nullptr ? family->Keys(info->type) : KeyLayout{};
    row.hasKeyOn = keys.channels > 0;
    const std::uint32_t* counts = &keyOns_[i * kKeySlots];
    for (int c = 0; c < keys.channels; ++c) {
      row.keyOns.push_back(KeyOnCount{"FM#" + std::to_string(c), counts[c]});
    }
    const std::size_t rhythm = keys.rhythm.size();
    for (std::size_t k = 0; k < rhythm; ++k) {
      const std::size_t bit = keys.rhythmFromTop ? rhythm - 1 - k : k;
      row.keyOns.push_back(KeyOnCount{std::string(keys.rhythm[bit]), counts[kChannelSlots + bit]});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void DumpStats::WriteText(ReportSink& out) const {
  out.Print<"\r\n[ Statistics ]\r\n">();
  if (selective_) {
    out.Print<
        "Counted        = the commands shown in the dump section (duration and loop: the whole dump)\r\n">();
  } else {
    out.Print<"Counted        = every command\r\n">();
  }
  out.Print<"Commands       = %s\r\n">(CountText(commands_).View());
  out.Print<"Writes         = %s\r\n">(CountText(writes_).View());
  out.Print<"Waits          = %s (%s ticks)\r\n">(CountText(waits_).View(), CountText(waitTicks_).View());
  out.Print<"Duration       = %s ticks  ">(CountText(totalTicks_).View());
  FormatTickTime(out, totalTicks_, head_.rate);
  out.Print<"\r\n">();
  out.Print<"Loop Start     = 0x%08x">(head_.loopOffset);
  if (head_.loopOffset == 0 && !loopFound_) {
    out.Print<" (no loop)\r\n">();
  } else if (!loopFound_) {
    out.Print<" (no command starts there)\r\n">();
  } else {
    out.Print<"  tick %s  ">(CountText(loopTick_).View());
    FormatTickTime(out, loopTick_, head_.rate);
    out.Print<"\r\nLoop Length    = %s ticks  ">(CountText(totalTicks_ - loopTick_).View());
    FormatTickTime(out, totalTicks_ - loopTick_, head_.rate);
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
    case EndKind::OffsetLimit:
      out.Print<"Stream End     = 0x%08x: the file is longer than S98 offsets can address (0x7fffffff at most)\r\n">(
          endOffset_);
      break;
    case EndKind::EndOfFile:
      out.Print<"Stream End     = end of the file at 0x%08x (no end command)\r\n">(endOffset_);
      break;
  }

  for (const DeviceRow& row : Devices()) {
    out.Print<"\r\n#%02d %-16s writes %s (port 0: %s, port 1: %s)\r\n">(
        row.device, row.name, CountText(row.writes[0] + row.writes[1]).View(), CountText(row.writes[0]).View(),
        CountText(row.writes[1]).View());
    if (row.hasKeyOn) {
      out.Print<"    key-on ">();
      for (const KeyOnCount& k : row.keyOns) out.Print<" %s=%s">(k.label, CountText(k.count).View());
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
      out.Print<" $%02x=%s">(r.reg, CountText(r.count).View());
      ++onLine;
    }
    if (lastPort >= 0) out.Print<"\r\n">();
  }
}

namespace {

std::string_view EndKindName(DumpStats::EndKind kind) {
  switch (kind) {
    case DumpStats::EndKind::NoCommand:
      return "no-command";
    case DumpStats::EndKind::EndCommand:
      return "end-command";
    case DumpStats::EndKind::Cut:
      return "cut";
    case DumpStats::EndKind::TagBound:
      return "tag-offset";
    case DumpStats::EndKind::OffsetLimit:
      return "offset-limit";
    case DumpStats::EndKind::EndOfFile:
      return "end-of-file";
  }
  return "end-of-file";
}

}  // namespace

void DumpStats::WriteJson(ReportSink& out) const {
  const DumpStats& stats = *this;
  JsonLine line(out);
  line.Field("type", "stats").Field("counted", stats.selective() ? "shown" : "all");
  line.Field("commands", stats.commands()).Field("writes", stats.writes()).Field("waits", stats.waits());
  line.Field("waitTicks", stats.waitTicks()).Field("durationTicks", stats.totalTicks());
  line.Field("durationSeconds", stats.Seconds(stats.totalTicks()));
  if (stats.loopFound()) {
    line.BeginObject("loop").Field("offset", stats.loopOffset()).Field("tick", stats.loopTick());
    line.Field("seconds", stats.Seconds(stats.loopTick()));
    line.Field("lengthTicks", stats.totalTicks() - stats.loopTick());
    line.Field("lengthSeconds", stats.Seconds(stats.totalTicks() - stats.loopTick())).EndObject();
  } else {
    line.Field("loop", nullptr);
  }
  line.BeginObject("end").Field("kind", EndKindName(stats.endKind())).Field("offset", stats.endOffset()).EndObject();
  line.BeginArray("devices");
  for (const DumpStats::DeviceRow& row : stats.Devices()) {
    line.BeginObject().Field("device", row.device).Field("name", row.name);
    line.BeginArray("writes").Value(row.writes[0]).Value(row.writes[1]).EndArray();
    if (row.hasKeyOn) {
      line.BeginObject("keyOn");
      for (const DumpStats::KeyOnCount& k : row.keyOns) line.Field(k.label, k.count);
      line.EndObject();
    }
    line.BeginArray("registers");
    for (const DumpStats::RegisterCount& r : row.registers) {
      line.BeginObject().Field("port", r.port).Field("register", r.reg).Field("count", r.count).EndObject();
    }
    line.EndArray().EndObject();
  }
  line.EndArray().End();
}

}  // namespace tavrin
