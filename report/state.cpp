// Register state snapshots: taken during the walk, written as decoded tables and register images.
#include "report/state.h"

#include <algorithm>
#include <limits>

#include "core/timestamp.h"
#include "report/json_line.h"

namespace tavrin {

namespace {

constexpr int kRegistersPerLine = 16;

// A bank is shown when the device type has the port that reaches it.
int BankCount(const DeviceSnapshot& d) { return std::max(1, d.family->Ports(d.info.type)); }

StateTables Describe(const DeviceSnapshot& d) {
  StateTables tables;
  d.family->DescribeState(d.state, d.info, tables);
  return tables;
}

void Pad(std::string& line, std::string_view text, std::size_t width) {
  line += text;
  line.append(width > text.size() ? width - text.size() : 0, ' ');
}

void EndLine(ReportSink& out, std::string& line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  out.Append(line);
  out.Print<"\r\n">();
  line.clear();
}

// One table: its title heads the label column, field names head the others; only rows written.
void WriteTable(ReportSink& out, const StateTable& table) {
  std::vector<const StateRow*> rows;
  for (const StateRow& row : table.rows) {
    if (row.written) rows.push_back(&row);
  }
  if (rows.empty()) return;
  std::size_t labelWidth = table.title.size();
  std::vector<std::size_t> widths;
  for (const StateField& f : rows.front()->fields) widths.push_back(f.name.size());
  for (const StateRow* row : rows) {
    labelWidth = std::max(labelWidth, row->label.size() + 2);  // rows stand two further in
    for (std::size_t i = 0; i < row->fields.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], row->fields[i].text.size());
    }
  }
  std::string line = "  ";
  Pad(line, table.title, labelWidth);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    line += "  ";
    Pad(line, rows.front()->fields[i].name, widths[i]);
  }
  EndLine(out, line);
  for (const StateRow* row : rows) {
    line = "    ";
    Pad(line, row->label, labelWidth - 2);
    for (std::size_t i = 0; i < row->fields.size() && i < widths.size(); ++i) {
      line += "  ";
      Pad(line, row->fields[i].text, widths[i]);
    }
    EndLine(out, line);
  }
}

// "  port 0  00: 1f 00 -- ..." for every line of sixteen with at least one address written.
void WriteImage(ReportSink& out, const DeviceSnapshot& d) {
  for (int bank = 0; bank < BankCount(d); ++bank) {
    const auto b = static_cast<std::size_t>(bank);
    if (!AnyWritten(d.state, bank, 0, 256)) {
      out.Print<"  port %d  (nothing written)\r\n">(bank);
      continue;
    }
    for (int first = 0; first < 256; first += kRegistersPerLine) {
      bool any = false;
      for (int r = first; r < first + kRegistersPerLine; ++r) any = any || d.state.Written[b][static_cast<std::size_t>(r)];
      if (!any) continue;
      out.Print<"  port %d  %02x:">(bank, first);
      for (int r = first; r < first + kRegistersPerLine; ++r) {
        const auto i = static_cast<std::size_t>(r);
        if (d.state.Written[b][i]) {
          out.Print<" %02x">(d.state.Registers[b][i]);
        } else {
          out.Print<" --">();
        }
      }
      out.Print<"\r\n">();
    }
  }
}

void WriteFieldValue(JsonLine& line, const StateField& f) {
  switch (f.kind) {
    case StateField::Kind::Integer:
      line.Value(f.integer);
      return;
    case StateField::Kind::Real:
      line.Value(f.real);
      return;
    case StateField::Kind::Text:
      break;
  }
  line.Value(f.text);
}

}  // namespace

std::vector<DeviceSnapshot> TakeSnapshot(const RegisterModel& model) {
  std::vector<DeviceSnapshot> devices;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    if (const ChipFamily* family = model.Family(d)) devices.push_back({d, family, model.Info(d), model.State(d)});
  }
  return devices;
}

std::vector<SoundDifference> SoundDifferences(const ChipFamily& family, const DeviceInfo& info,
                                              const ChipState& before, const ChipState& after) {
  StateTables a;
  StateTables b;
  family.DescribeState(before, info, a);
  family.DescribeState(after, info, b);
  std::vector<SoundDifference> groups;
  // The same family and type lay out the same tables, rows and fields, so they pair up by position.
  for (std::size_t t = 0; t < a.size() && t < b.size(); ++t) {
    for (std::size_t r = 0; r < a[t].rows.size() && r < b[t].rows.size(); ++r) {
      const StateRow& ra = a[t].rows[r];
      const StateRow& rb = b[t].rows[r];
      // An operator row names its operator before each field: "op1 TL".
      const std::string prefix = ra.label.size() > ra.channel.size() ? ra.label.substr(ra.channel.size() + 1) + " " : "";
      for (std::size_t f = 0; f < ra.fields.size() && f < rb.fields.size(); ++f) {
        const StateField& fa = ra.fields[f];
        const StateField& fb = rb.fields[f];
        if (!fa.sound || fa.text == fb.text) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const SoundDifference& g) { return g.channel == ra.channel; });
        if (group == groups.end()) group = groups.insert(groups.end(), SoundDifference{ra.channel, {}});
        if (!group->changes.empty()) group->changes += ", ";
        group->changes += prefix + std::string(fa.name) + " " + fa.text + " -> " + fb.text;
      }
    }
  }
  return groups;
}

ChipStateSection::ChipStateSection(const StreamHead& head, const std::vector<StatePoint>& points,
                                   const RegisterModel& model)
    : head_(head), model_(model), endOffset_(head.dataOffset) {
  for (const StatePoint& point : points) {
    Snapshot& s = snapshots_.emplace_back();
    s.asked = point;
    s.offset = std::numeric_limits<std::int64_t>::min();
    // The conversion refuses a time without a usable timer before the walk starts.
    if (point.kind == StatePoint::Kind::Point) ResolvePoint(point.point, head.rate, s.tick, s.offset);
  }
}

void ChipStateSection::Take(Snapshot& snapshot, std::int32_t offset, std::uint64_t ticks) {
  snapshot.taken = true;
  snapshot.at = offset;
  snapshot.atTick = ticks;
  snapshot.devices = TakeSnapshot(model_);
}

void ChipStateSection::BeforeApply(const Command& cmd, std::uint64_t ticksBefore) {
  for (Snapshot& s : snapshots_) {
    if (s.taken) continue;
    const bool here = s.asked.kind == StatePoint::Kind::Point
                          ? ticksBefore >= s.tick && cmd.offset >= s.offset
                          : s.asked.kind == StatePoint::Kind::Loop && cmd.atLoop;
    if (here) Take(s, cmd.offset, ticksBefore);
  }
}

void ChipStateSection::Observe(const WalkStep& step) {
  totalTicks_ = step.ticksBefore +
                (step.cmd.kind == CommandKind::Wait ? static_cast<std::uint32_t>(step.cmd.ticks) : 0u);
  endOffset_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(step.cmd.offset) +
                                         static_cast<std::uint32_t>(CommandLength(step.cmd)));
}

void ChipStateSection::Finish(std::int32_t /*endBound*/) {
  for (Snapshot& s : snapshots_) {
    if (s.taken || s.asked.kind == StatePoint::Kind::Loop) continue;
    s.pastEnd = s.asked.kind == StatePoint::Kind::Point;
    Take(s, endOffset_, totalTicks_);
  }
}

void ChipStateSection::WriteText(ReportSink& out) const {
  for (const Snapshot& s : snapshots_) {
    if (!s.taken) {
      out.Print<"\r\n[ Chip State at loop ]\r\n">();
      out.Print<"At             = loop: the file has no loop point (no command starts at its loop offset)\r\n">();
      continue;
    }
    out.Print<"\r\n[ Chip State at ">();
    FormatTickTime(out, s.atTick, head_.rate);
    out.Print<" (tick %s, offset 0x%08x) ]\r\n">(std::to_string(s.atTick), s.at);
    if (s.asked.kind == StatePoint::Kind::End) {
      out.Print<"At             = end (after the last command)\r\n">();
    } else if (s.pastEnd) {
      out.Print<"At             = %s (past the last command: the state at the end)\r\n">(s.asked.text);
    } else {
      out.Print<"At             = %s\r\n">(s.asked.text);
    }
    for (const DeviceSnapshot& d : s.devices) {
      out.Print<"\r\n#%02d %s\r\n">(d.device, DeviceName(d.info.type));
      for (const StateTable& table : Describe(d)) WriteTable(out, table);
      WriteImage(out, d);
    }
  }
}

void ChipStateSection::WriteJson(ReportSink& out) const {
  for (const Snapshot& s : snapshots_) {
    JsonLine line(out);
    line.Field("type", "state");
    if (!s.taken) {
      line.Field("offset", nullptr).Field("ticks", nullptr).Field("elapsed", nullptr);
      line.Field("at", s.asked.text).Field("pastEnd", false).BeginArray("devices").EndArray().End();
      continue;
    }
    line.Field("offset", s.at).Field("ticks", s.atTick);
    line.Field("elapsed", static_cast<double>(s.atTick) * head_.rate.numerator / head_.rate.denominator);
    line.Field("at", s.asked.text);  // as typed
    line.Field("pastEnd", s.pastEnd);
    line.BeginArray("devices");
    for (const DeviceSnapshot& d : s.devices) {
      line.BeginObject().Field("device", d.device).Field("name", DeviceName(d.info.type));
      line.BeginArray("written");
      for (int bank = 0; bank < BankCount(d); ++bank) {
        const auto b = static_cast<std::size_t>(bank);
        line.BeginArray();
        for (std::size_t r = 0; r < 256; ++r) {
          if (d.state.Written[b][r]) {
            line.Value(d.state.Registers[b][r]);
          } else {
            line.Value(nullptr);
          }
        }
        line.EndArray();
      }
      line.EndArray().BeginArray("channels");
      for (const StateTable& table : Describe(d)) {
        for (const StateRow& row : table.rows) {
          if (!row.written) continue;
          line.BeginObject().Field("table", table.title).Field("channel", row.label);
          for (const StateField& f : row.fields) WriteFieldValue(line.Key(f.name), f);
          line.EndObject();
        }
      }
      line.EndArray().EndObject();
    }
    line.EndArray().End();
  }
}

}  // namespace tavrin
