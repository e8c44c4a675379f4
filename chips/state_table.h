// A device's register state decoded into named fields, laid out in tables; filled by each chip family.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "chips/pitch.h"

namespace tavrin {

// One decoded value. `text` is what the text table shows; JSON writes the number where there is one.
struct StateField {
  enum class Kind : std::uint8_t { Text, Integer, Real };
  std::string_view name;  // the column heading and the JSON key, the same in both
  std::string text;
  Kind kind = Kind::Text;
  std::int64_t integer = 0;
  double real = 0.0;
  bool sound = true;  // a difference changes what is heard (the loop check compares only these)
};

// One channel, operator or unit of a device. Rows of one table have the same fields in the same order.
struct StateRow {
  std::string channel;  // what the row belongs to ("FM#2"); the loop check groups by it
  std::string label;    // the row's own name ("FM#2 op1"), the first column
  bool written = false; // a register the row reads was written: rows never written are not shown
  std::vector<StateField> fields;

  // The fields, as the families fill them.
  StateRow& Number(std::string_view name, std::int64_t value, bool sound = true);
  StateRow& Hex(std::string_view name, std::uint32_t value, int digits, bool sound = true);
  StateRow& Text(std::string_view name, std::string text, bool sound = true);
  StateRow& Flag(std::string_view name, bool on, bool sound = true);  // "on" / "-"; JSON 1 / 0
  // NOTE and HZ as --notes prints them; derived from the F-number fields, so never compared.
  StateRow& Note(const Pitch& pitch);

  const StateField* Find(std::string_view name) const;
};

struct StateTable {
  std::string_view title;
  std::vector<StateRow> rows;

  StateRow& Row(std::string channel, std::string label, bool written);
  StateRow& Row(std::string channel, bool written) { return Row(channel, channel, written); }
};

// A deque: a family keeps references to the tables it is filling while it adds the next.
using StateTables = std::deque<StateTable>;

// "LR", "L-", "-R" or "--": which outputs a channel sounds on.
std::string PanText(bool left, bool right);

// The operators keyed on as digits ("1-3-"): bit k of `mask` is operator k + 1.
std::string OperatorKeyText(unsigned mask, int operators);

// Finds a row by its label; null when there is none.
const StateRow* FindRow(const StateTables& tables, std::string_view label);

// "C4-1c" and "261.52" of a pitch, as --notes writes them; "---" and "0.00" for silence or no pitch.
void PitchText(const Pitch& pitch, std::string& note, std::string& hertz);

}  // namespace tavrin
