// The table of output formats.
#include "report/report.h"

#include <array>

namespace tavrin {

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
