// What must hold for any bytes converted in memory; shared by the fuzz target and the replay of its finds.
//
// An input's last byte picks the options: bit 0 -v, bit 1 -f, bit 2 --notes, bit 3 convert twice,
// bit 4 --tags, bit 5 --stats, bit 6 --json, bit 7 a dump selection (--from/--to/--device) made from
// the byte before it. Bytes after the end command are never walked, so a file keeps its meaning
// whatever options its last byte asks for. JSON lines cost some twenty times a text report per
// command, so only inputs of up to kJsonMaxInput bytes take them; their code paths are all reached
// by then.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/check.h"
#include "engine/convert.h"
#include "report/selection.h"

namespace tavrin::fuzz {

inline constexpr std::size_t kJsonMaxInput = 512;
inline constexpr std::string_view kFuzzFileName = "fuzz.s98";

// A selection of each kind the command line can ask for, small enough to fall inside short files.
inline DumpSelection SelectionFrom(std::uint8_t b) {
  using Point = DumpPoint;
  DumpSelection s;
  const std::uint64_t v = b >> 2;
  switch (b & 3) {
    case 0:
      s.from = Point{Point::Unit::Seconds, v, 10};
      break;
    case 1:
      s.from = Point{Point::Unit::Offset, 0x20 + v, 1};
      s.to = Point{Point::Unit::Ticks, v, 1};
      break;
    case 2:
      s.from = Point{Point::Unit::Ticks, v, 1};
      s.to = Point{Point::Unit::Seconds, v + 1, 1};
      break;
    default:
      s.deviceFilter = true;
      for (std::size_t d = 0; d < 6; ++d) s.devices[d] = ((v >> d) & 1) != 0;
      break;
  }
  return s;
}

struct FuzzRun {
  ConversionOptions options;
  bool twice = false;  // convert a second time and compare
};

inline FuzzRun RunFor(std::span<const std::uint8_t> input) {
  const std::size_t size = input.size();
  const std::uint8_t flags = size > 0 ? input[size - 1] : 0;
  FuzzRun run;
  run.options.verbose = (flags & 0x01) != 0;
  run.options.skipVersionCheck = (flags & 0x02) != 0;
  run.options.notes = (flags & 0x04) != 0;
  run.twice = (flags & 0x08) != 0;
  run.options.tags = (flags & 0x10) != 0;
  run.options.stats = (flags & 0x20) != 0;
  run.options.format =
      (flags & 0x40) != 0 && size <= kJsonMaxInput ? ReportFormat::JsonLines : ReportFormat::Text;
  if ((flags & 0x80) != 0) run.options.selection = SelectionFrom(size > 1 ? input[size - 2] : 0);
  return run;
}

namespace oracle_detail {

inline bool IsRefusal(std::string_view status) {
  for (std::string_view known : {kStatusFileReadError, kStatusNotS98, kStatusNotVgm, kStatusVgmShortHead, kStatusVersionError,
                                 kStatusTooManyDevices, kStatusTimeNeedsTimer}) {
    if (status == known) return true;
  }
  return false;
}

inline std::string CheckText(const std::string& report) {
  if (!report.starts_with("[ S98 Information ]\r\nFilename       = fuzz.s98\r\n")) return "report head";
  if (report.find("\r\n[ Device List ]\r\n#01 ") == std::string::npos) return "device list missing";
  if (report.find("\r\n\r\n[ Dump Data ]\r\n") == std::string::npos) return "dump section missing";
  if (!report.ends_with("\r\n")) return "the report does not end with a line end";
  // Only the version byte is written raw; from the line after it on, tag text included, every CR
  // and every LF belongs to a CR LF line end.
  const std::size_t from = report.find("\r\nTimer Period   = ");
  if (from == std::string::npos) return "timer line missing";
  for (std::size_t i = from; i < report.size(); ++i) {
    if (report[i] == '\r' && (i + 1 == report.size() || report[i + 1] != '\n')) return "a CR alone";
    if (report[i] == '\n' && report[i - 1] != '\r') return "an LF alone";
  }
  return {};
}

// A VGM report: its sections, CR LF line ends only (GD3 text included).
inline std::string CheckVgmText(const std::string& report) {
  if (!report.starts_with("[ VGM Information ]\r\nFilename       = fuzz.s98\r\n")) return "VGM report head";
  if (report.find("\r\n[ Device List ]\r\n") == std::string::npos) return "device list missing";
  if (report.find("\r\n[ Dump Data ]\r\n") == std::string::npos) return "dump section missing";
  if (!report.ends_with("\r\n")) return "the report does not end with a line end";
  for (std::size_t i = 0; i < report.size(); ++i) {
    if (report[i] == '\r' && (i + 1 == report.size() || report[i + 1] != '\n')) return "a CR alone";
    if (report[i] == '\n' && (i == 0 || report[i - 1] != '\r')) return "an LF alone";
  }
  return {};
}

inline std::string CheckJsonLines(const std::string& report) {
  if (report.empty() || !report.ends_with("\n")) return "JSON lines do not end with a line end";
  for (std::size_t pos = 0; pos < report.size();) {
    const std::size_t end = report.find('\n', pos);
    const std::string_view line(report.data() + pos, end - pos);
    if (!line.starts_with("{") || !nlohmann::json::accept(line)) return "a JSON line does not parse";
    pos = end + 1;
  }
  return {};
}

}  // namespace oracle_detail

// Converts `input` with `run`'s options and checks what any caller relies on: the status is one of
// the known texts, a refusal leaves no report, a text report is complete (its sections, CR LF line
// ends only, one at the very end), every JSON line parses, converting the same bytes again gives
// the same report (no state survives from one conversion into the next), and the file check
// (--check) refuses exactly what the conversion refuses and lists its findings in file order.
// Returns "" or what failed.
inline std::string CheckConversion(std::span<const std::uint8_t> input, const FuzzRun& run) {
  std::string report = "left over from before";
  const std::string status = ConvertS98Bytes(input, kFuzzFileName, run.options, report);
  // VGM is told by its identifier, or by the gzip magic (what inflates is only known to the reader).
  const bool vgm = (input.size() >= 4 && input[0] == 'V' && input[1] == 'g' && input[2] == 'm' && input[3] == ' ') ||
                   (input.size() >= 2 && input[0] == 0x1F && input[1] == 0x8B);
  std::string failed;
  if (!status.empty()) {
    if (!oracle_detail::IsRefusal(status)) failed = "unknown status text";
    if (!report.empty()) failed = "a refused file left report text";
  } else if (!vgm && (input.size() < 32 || input[0] != 'S' || input[1] != '9' || input[2] != '8')) {
    failed = "a file without a whole S98 head was converted";
  } else if (vgm && input[0] == 'V' && input.size() < 0x40) {
    failed = "a file without a whole VGM head was converted";
  } else if (run.options.format == ReportFormat::JsonLines) {
    failed = oracle_detail::CheckJsonLines(report);
  } else if (vgm) {
    failed = oracle_detail::CheckVgmText(report);
  } else {
    failed = oracle_detail::CheckText(report);
  }

  if (failed.empty()) {
    std::vector<CheckFinding> findings;
    const std::string checkStatus = CheckS98Bytes(input, run.options.skipVersionCheck, findings);
    if (checkStatus != status && status != kStatusTimeNeedsTimer)
      failed = "the check and the conversion disagree";
    for (std::size_t i = 1; i < findings.size(); ++i) {
      if (findings[i].offset < findings[i - 1].offset) failed = "check findings out of file order";
    }
  }
  if (failed.empty() && run.twice) {
    std::string again;
    const std::string statusAgain = ConvertS98Bytes(input, kFuzzFileName, run.options, again);
    if (statusAgain != status || again != report) failed = "a second conversion of the same bytes differs";
  }
  return failed.empty() ? failed : failed + " (status \"" + status + "\")";
}

}  // namespace tavrin::fuzz
