// ConvertS98File: one S98 file in, one text report out, a status text back.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "engine/selection.h"

namespace tavrin {

// Status texts; an empty status means success.
inline constexpr std::string_view kStatusFileOpenError = "File open error.";
inline constexpr std::string_view kStatusFileReadError = "File read error.";
inline constexpr std::string_view kStatusNotS98 = "This is not S98 format.";
inline constexpr std::string_view kStatusVersionError = "S98 version error.";
inline constexpr std::string_view kStatusOutputOpenError = "File open error(out).";
inline constexpr std::string_view kStatusTooManyDevices = "Too many devices.";
inline constexpr std::string_view kStatusWriteError = "File write error.";
inline constexpr std::string_view kStatusSameFile = "Input and output are the same file.";
// A time bound (--from/--to in seconds) on a file whose timer numerator or denominator is not positive.
inline constexpr std::string_view kStatusTimeNeedsTimer = "Time range needs a positive timer.";

enum class ReportFormat : std::uint8_t {
  Text,       // the report: header section, device list, dump lines with CR LF
  JsonLines,  // --json: one JSON object per line (head, then one per command), LF line ends
};

struct ConversionOptions {
  bool verbose = false;           // -v: annotate every register write
  bool skipVersionCheck = false;  // -f: accept any version byte
  bool notes = false;             // --notes: after each pitch-setting write, the note and frequency it sets
  // The options below leave the report as it is when they are left at their defaults.
  DumpSelection selection{};  // --from, --to, --device: the dump lines shown
  bool tags = false;          // --tags: the tag block, after the information section
  bool stats = false;         // --stats: counts, duration and loop, after the dump section
  ReportFormat format = ReportFormat::Text;
  // Grows by every block of input read, so another thread can show how far the conversion has got.
  std::atomic<std::uint64_t>* bytesRead = nullptr;
};

// Converts `input` ("-" means standard input) into the report at `output` ("-" means standard output). The report is written
// to a temporary file beside `output` and renamed over it only when complete, so a failed
// conversion leaves an existing report as it was. Returns "" or one of the status texts above.
std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           bool verbose, bool skipVersionCheck);
std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConversionOptions& options);

// The same conversion on bytes in memory; `fileName` is what the header section shows as Filename.
// On failure `report` holds nothing.
std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report);

}  // namespace tavrin
