// --json: the conversion as JSON Lines, one object for the head and device list, then one per command.
#pragma once

#include <filesystem>
#include <string_view>

#include "engine/byte_reader.h"
#include "engine/convert.h"
#include "engine/report_sink.h"
#include "engine/s98_head.h"
#include "engine/selection.h"

namespace tavrin {

// Writes the lines to `out`, each ending in LF. Strings are UTF-8; bytes of the file name or the tag
// that are not valid UTF-8 are replaced by U+FFFD, so every line parses.
void WriteJsonReport(ReportSink& out, ByteReader& in, const S98Head& head, std::string_view fileName,
                     const ConversionOptions& options, const DumpWindow& window);

// Where --json writes beside the input: the report's path with ".jsonl" for ".txt" (song.s98 -> song.jsonl).
std::filesystem::path JsonLinesPathFor(const std::filesystem::path& input);

}  // namespace tavrin
