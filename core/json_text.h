// JSON text for the JSON Lines report: strings, integers and doubles written straight into the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/report_sink.h"

namespace tavrin {

// Longest text of one number: "-9223372036854775808" and "-2.2250738585072014e-308" both fit.
inline constexpr std::size_t kJsonNumberBound = 26;

// Each writes one number at `out` and returns the end; `out` must have room for kJsonNumberBound bytes.
char* WriteJsonUnsigned(char* out, std::uint64_t value);
char* WriteJsonInteger(char* out, std::int64_t value);
// The shortest digits Grisu2 finds that read back as `value` (17 at most): "0.0", "-0.0", "1.5",
// "1e-05", "1e+21", "100.0"; fixed notation from 1e-4 up to (not including) 1e15. NaN and the
// infinities, which JSON has no words for, are written as null.
char* WriteJsonDouble(char* out, double value);

// `text` in double quotes. '"', '\\' and the control characters are escaped (\b \t \n \f \r, the rest
// as \u00xx); other bytes stay as they are while they form UTF-8. Each byte that cannot start a UTF-8
// sequence, and each sequence cut short (by a byte that cannot continue it, or by the end of the text),
// becomes one U+FFFD; the byte that cut a sequence short is then read afresh.
void AppendJsonString(ReportSink& out, std::string_view text);

inline void AppendJsonUnsigned(ReportSink& out, std::uint64_t value) {
  out.AppendWith(kJsonNumberBound, [value](char* p) { return WriteJsonUnsigned(p, value); });
}
inline void AppendJsonInteger(ReportSink& out, std::int64_t value) {
  out.AppendWith(kJsonNumberBound, [value](char* p) { return WriteJsonInteger(p, value); });
}
inline void AppendJsonDouble(ReportSink& out, double value) {
  out.AppendWith(kJsonNumberBound, [value](char* p) { return WriteJsonDouble(p, value); });
}

}  // namespace tavrin
