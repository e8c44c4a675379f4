// The engine's entry points: one S98 or VGM file in, one report out, a status text back; the file checks.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "report/check.h"
#include "report/options.h"

namespace tavrin {

// Converts `input` ("-" means standard input) into the report at `output` ("-" means standard output). The report is written
// to a temporary file beside `output` and renamed over it only when complete, so a failed
// conversion leaves an existing report as it was. Returns "" or one of the status texts.
std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           bool verbose, bool skipVersionCheck);
std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConversionOptions& options);

// The same conversion on bytes in memory; `fileName` is what the header section shows as Filename.
// On failure `report` holds nothing.
std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report);

// --voices-dir: the voices of `input` (S98, VGM or VGZ, told by content), taken as --voices takes them
// under `options`, written into the folder `dir` as patch files named after the input. `written`
// receives the names of the files written. Returns "" or one of the status texts.
std::string WriteS98VoiceFiles(const std::filesystem::path& input, const std::filesystem::path& dir,
                               const ConversionOptions& options, std::vector<std::string>& written);

// --midi and --roll: the notes as played of `input` (S98, VGM or VGZ), taken under `options` (--from,
// --to, --device), written to `output` as a Standard MIDI File or as an SVG piano roll of `rollScale`
// pixels a second. The title is the S98 tag's or the GD3 tag's track name. `summary` receives one line
// per channel that played: its name, notes and bends. Returns "" or one of the status texts.
enum class MusicFile : std::uint8_t { Midi, Roll };
std::string WriteS98Music(const std::filesystem::path& input, const std::filesystem::path& output, MusicFile kind,
                          const ConversionOptions& options, double rollScale, std::string& summary);

// --check on a file: "" or the status with which a conversion would refuse it; the findings sorted
// by offset.
std::string CheckS98File(const std::filesystem::path& input, bool skipVersionCheck,
                         std::vector<CheckFinding>& findings);

}  // namespace tavrin
