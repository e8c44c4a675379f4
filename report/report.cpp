// The table of output formats.
#include "report/report.h"

#include <array>

namespace tavrin {

// The writers, one file each (text_report.cpp, vgm_report.cpp, json_report.cpp).
bool WriteTextReport(ReportSink& out, const ReportInput& input);
bool WriteJsonReport(ReportSink& out, const ReportInput& input);
void WriteVgmTextReport(ReportSink& out, const VgmReportInput& input);
void WriteVgmJsonReport(ReportSink& out, const VgmReportInput& input);

namespace {

constexpr std::array<ReportWriter, 2> kReportWriters = {{
    {ReportFormat::Text, ".txt", WriteTextReport, WriteVgmTextReport},         // the report: CR LF lines
    {ReportFormat::JsonLines, ".jsonl", WriteJsonReport, WriteVgmJsonReport},  // --json: one object per line, LF
}};

}  // namespace

const ReportWriter& WriterFor(ReportFormat format) {
  for (const ReportWriter& writer : kReportWriters) {
    if (writer.format == format) return writer;
  }
  return kReportWriters[0];
}

bool WriteReport(ReportSink& out, const ReportInput& input, ReportFormat format) {
  return WriterFor(format).Write(out, input);
}

void WriteVgmReport(ReportSink& out, const VgmReportInput& input, ReportFormat format) {
  WriterFor(format).WriteVgm(out, input);
}

}  // namespace tavrin
