// One JSON Lines object into the report: the JSON library's text of it and an LF.
#pragma once

#include <nlohmann/json.hpp>

#include "core/report_sink.h"

namespace tavrin {

// Keys stay in the order they are set, so lines read the same way every time.
using Json = nlohmann::ordered_json;

// Text that is not UTF-8 is replaced rather than refused, so every line parses.
inline void WriteJsonLine(ReportSink& out, const Json& line) {
  out.Append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
  out.Print<"\n">();
}

}  // namespace tavrin
