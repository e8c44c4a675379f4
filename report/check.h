// --check: what in an S98 file a player may trip on, each finding with the file offset it concerns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/report_sink.h"

namespace tavrin {

struct CheckFinding {
  std::uint32_t offset = 0;
  std::string text;
};

// At most this many findings of one repeating kind are listed; a last line counts the rest.
inline constexpr int kMaxRepeatedFindings = 20;

// Checks the file read by `in` (from its start). Returns "" or the status text with which the
// conversion would refuse the file (its head is then not checked further); `findings` come sorted
// by offset.
std::string CheckS98(ByteReader& in, bool skipVersionCheck, std::vector<CheckFinding>& findings);
std::string CheckS98Bytes(std::span<const std::uint8_t> input, bool skipVersionCheck,
                          std::vector<CheckFinding>& findings);

// Either check, chosen by the file's first bytes (S98, VGM, gzip-compressed VGM); `source` gives the
// bytes `in` reads.
std::string CheckLog(ByteReader& in, ByteSource& source, bool skipVersionCheck, std::vector<CheckFinding>& findings);

// The same for a VGM file (plain; the engine inflates a compressed one before).
std::string CheckVgm(ByteReader& in, std::vector<CheckFinding>& findings);

// "NAME: 0x%08x: TEXT" for each finding, or "NAME: STATUS" for a refused file; LF line ends.
void WriteCheckLines(ReportSink& out, std::string_view name, std::string_view status,
                     const std::vector<CheckFinding>& findings);

}  // namespace tavrin
