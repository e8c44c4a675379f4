// A whole report of one log, in the output format the options name, from one walk.
#pragma once

#include <string_view>

#include "core/byte_reader.h"
#include "core/report_sink.h"
#include "formats/s98/s98.h"
#include "formats/vgm/vgm.h"
#include "report/options.h"
#include "report/selection.h"

namespace tavrin {

// One log as the writers see it. `in` stands at the end of the device records.
struct ReportInput {
  ByteReader& in;
  const S98Info& info;
  std::string_view fileName;
  const WalkPlan& plan;
  const DumpWindow& window;
};

// One VGM log as the writers see it.
struct VgmReportInput {
  ByteReader& in;
  const VgmInfo& info;
  std::string_view fileName;
  const WalkPlan& plan;
  const DumpWindow& window;
};

// One output format: its writer, and how files of it are named beside the input.
struct ReportWriter {
  ReportFormat format;
  std::string_view extension;  // ".txt", ".jsonl"
  // Returns whether any command fell inside the selection (always true without one).
  bool (*Write)(ReportSink& out, const ReportInput& input);
  void (*WriteVgm)(ReportSink& out, const VgmReportInput& input);
};

// The writer of a format (every ReportFormat has one).
const ReportWriter& WriterFor(ReportFormat format);

// Writes the report of `input` in `format`.
// Returns whether any command fell inside --from/--to and --device (always true without them).
bool WriteReport(ReportSink& out, const ReportInput& input, ReportFormat format);

// Writes the report of a VGM log in `format`.
void WriteVgmReport(ReportSink& out, const VgmReportInput& input, ReportFormat format);

}  // namespace tavrin
