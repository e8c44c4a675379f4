// One JSON Lines object written straight into the report: keys in the order they are given, values
// through the project's JSON text writers, compact (no blanks), then an LF.
#pragma once

#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/json_text.h"
#include "core/report_sink.h"

namespace tavrin {

// Objects and arrays nest as they are opened and closed; the writer puts the commas in. Text that is
// not UTF-8 is repaired (U+FFFD), so every line parses. Numbers keep their C++ type's sign: an
// unsigned value is never written negative, a signed one never wraps.
class JsonLine {
 public:
  explicit JsonLine(ReportSink& out) : out_(out) { out_.Print<"{">(); }
  JsonLine(const JsonLine&) = delete;
  JsonLine& operator=(const JsonLine&) = delete;

  JsonLine& Key(std::string_view key) {
    Separate();
    AppendJsonString(out_, key);
    out_.Print<":">();
    needComma_ = false;
    return *this;
  }

  template <typename T>
  JsonLine& Value(const T& value) {
    Separate();
    if constexpr (std::is_same_v<T, bool>) {
      PrintEither<"true", "false">(out_, value);
    } else if constexpr (std::is_same_v<T, std::nullptr_t>) {
      out_.Print<"null">();
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
      AppendJsonInteger(out_, value);
    } else if constexpr (std::is_integral_v<T>) {
      AppendJsonUnsigned(out_, value);
    } else if constexpr (std::is_floating_point_v<T>) {
      AppendJsonDouble(out_, value);
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
      out_.Print<"[">();
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (i > 0) out_.Print<",">();
        AppendJsonString(out_, value[i]);
      }
      out_.Print<"]">();
    } else {
      static_assert(std::is_convertible_v<const T&, std::string_view>, "no JSON form for this type");
      AppendJsonString(out_, std::string_view(value));
    }
    needComma_ = true;
    return *this;
  }

  template <typename T>
  JsonLine& Field(std::string_view key, const T& value) {
    return Key(key).Value(value);
  }

  JsonLine& BeginObject() { return Open<"{">(); }
  JsonLine& EndObject() { return Close<"}">(); }
  JsonLine& BeginArray() { return Open<"[">(); }
  JsonLine& EndArray() { return Close<"]">(); }
  JsonLine& BeginObject(std::string_view key) { return Key(key).BeginObject(); }
  JsonLine& BeginArray(std::string_view key) { return Key(key).BeginArray(); }

  // Closes the line's own object.
  void End() { out_.Print<"}\n">(); }

 private:
  void Separate() {
    if (needComma_) out_.Print<",">();
  }
  template <FormatText Bracket>
  JsonLine& Open() {
    Separate();
    out_.Print<Bracket>();
    needComma_ = false;
    return *this;
  }
  template <FormatText Bracket>
  JsonLine& Close() {
    out_.Print<Bracket>();
    needComma_ = true;
    return *this;
  }

  ReportSink& out_;
  bool needComma_ = false;  // a value has been written at this level: the next one needs a comma
};

}  // namespace tavrin
