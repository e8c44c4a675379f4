// Filling decoded state rows, and the note text of a pitch.
#include "chips/state_table.h"

#include <cstdio>
#include <cstdlib>

namespace tavrin {

StateRow& StateRow::Number(std::string_view name, std::int64_t value, bool sound) {
  StateField& f = fields.emplace_back();
  f.name = name;
  f.text = std::to_string(value);
  f.kind = StateField::Kind::Integer;
  f.integer = value;
  f.sound = sound;
  return *this;
}

StateRow& StateRow::Hex(std::string_view name, std::uint32_t value, int digits, bool sound) {
  char text[16];
  std::snprintf(text, sizeof text, "$%0*x", digits, static_cast<unsigned>(value));
  Number(name, value, sound);
  fields.back().text = text;
  return *this;
}

StateRow& StateRow::Text(std::string_view name, std::string text, bool sound) {
  StateField& f = fields.emplace_back();
  f.name = name;
  f.text = std::move(text);
  f.sound = sound;
  return *this;
}

StateRow& StateRow::Flag(std::string_view name, bool on, bool sound) {
  Number(name, on ? 1 : 0, sound);
  fields.back().text = on ? "on" : "-";
  return *this;
}

StateRow& StateRow::Note(const Pitch& pitch) {
  std::string note;
  std::string hertz;
  PitchText(pitch, note, hertz);
  Text("NOTE", std::move(note), false);
  StateField& f = fields.emplace_back();
  f.name = "HZ";
  f.real = std::strtod(hertz.c_str(), nullptr);
  f.text = std::move(hertz);
  f.kind = StateField::Kind::Real;
  f.sound = false;
  return *this;
}

const StateField* StateRow::Find(std::string_view name) const {
  for (const StateField& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

StateRow& StateTable::Row(std::string channel, std::string label, bool written) {
  StateRow& row = rows.emplace_back();
  row.channel = std::move(channel);
  row.label = std::move(label);
  row.written = written;
  // Rows hold up to a dozen or so fields: one allocation instead of a vector grown field by field
  // (the loop check of --check describes every device twice per file).
  row.fields.reserve(16);
  return row;
}

std::string PanText(bool left, bool right) { return {left ? 'L' : '-', right ? 'R' : '-'}; }

std::string OperatorKeyText(unsigned mask, int operators) {
  std::string text;
  for (int k = 0; k < operators; ++k) text += ((mask >> k) & 1u) != 0 ? static_cast<char>('1' + k) : '-';
  return text;
}

const StateRow* FindRow(const StateTables& tables, std::string_view label) {
  for (const StateTable& table : tables) {
    for (const StateRow& row : table.rows) {
      if (row.label == label) return &row;
    }
  }
  return nullptr;
}

void PitchText(const Pitch& pitch, std::string& note, std::string& hertz) {
  // The one pitch text of the program, " => C4-1c 261.52Hz", taken apart.
  StringTarget target;
  {
    ReportSink sink(target, 64);
    WritePitch(sink, pitch);
    sink.Flush();
  }
  std::string_view text = target.text;
  constexpr std::string_view kArrow = " => ";
  if (text.starts_with(kArrow)) text.remove_prefix(kArrow.size());
  if (text.ends_with("Hz")) text.remove_suffix(2);
  const auto space = text.find(' ');
  note = std::string(text.substr(0, space));
  hertz = space == std::string_view::npos ? std::string() : std::string(text.substr(space + 1));
}

}  // namespace tavrin
