// The VGM file's own parts of the reports: the information section, the device list, the GD3 tag and
// the text of the commands no annotator reads.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/command.h"
#include "core/report_sink.h"
#include "formats/vgm/vgm.h"
#include "formats/vgm/vgm_walker.h"

namespace tavrin {

// The GD3 tag: eleven UTF-16LE strings, English and Japanese names of track, game, system and author,
// then date, the file's creator and notes; held as UTF-8.
struct Gd3Tag {
  bool present = false;
  std::uint32_t version = 0;
  std::uint32_t length = 0;
  std::array<std::string, 11> fields{};
  std::vector<std::string> notes;  // what could not be read as the format has it
};

// What each GD3 field is called in the reports, in file order.
inline constexpr std::array<std::string_view, 11> kGd3FieldNames = {
    "Track Name",     "Track Name (JP)", "Game Name",  "Game Name (JP)", "System Name", "System Name (JP)",
    "Author",         "Author (JP)",     "Date",       "VGM Creator",    "Notes"};

// Reads the tag the head points to; moves `in`. Never fails: what cannot be read is noted.
Gd3Tag ReadGd3Tag(ByteReader& in, const VgmInfo& info);

// "[ VGM Information ]": the head's fields, then a blank line.
void WriteVgmInformationSection(ReportSink& out, const VgmInfo& info, std::string_view fileName);

// "[ GD3 Tag ]": the fields that are set, the notes, then a blank line.
void WriteGd3Section(ReportSink& out, const Gd3Tag& tag);

// "[ Device List ]": every chip whose clock is set, numbered as the dump numbers it.
void WriteVgmDeviceList(ReportSink& out, const VgmInfo& info);

// The text of a line no annotator writes: data blocks, streams, seeks, undecoded chips, unknown bytes.
void WriteVgmOtherText(ReportSink& out, const Command& cmd, const VgmCommandInfo& info);

// A count of samples at 44,100 per second as hh:mm:ss.mmm, and its four fields for a caller that prints
// them within a longer line.
struct SampleTime {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int milliseconds = 0;
};
inline SampleTime SplitSampleTime(std::uint32_t samples) {
  const auto ms = static_cast<std::uint32_t>(std::uint64_t{samples} * 1000u / kVgmSampleRate);
  return {static_cast<int>(ms / 3600000u), static_cast<int>(ms / 60000u % 60u), static_cast<int>(ms / 1000u % 60u),
          static_cast<int>(ms % 1000u)};
}
void WriteSampleTime(ReportSink& out, std::uint32_t samples);

// The name of a chip in the device list and the dump lines: Tavrin's device name where it decodes it.
std::string_view VgmChipName(const VgmInfo& info, const VgmChip& chip);

}  // namespace tavrin
