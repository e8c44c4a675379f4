// The S98 file's own sections of the text report: the information section and the device list.
#pragma once

#include <string_view>

#include "core/command.h"
#include "core/report_sink.h"
#include "formats/s98/s98.h"

namespace tavrin {

// "[ S98 Information ]": the head's fields, then a blank line.
void WriteInformationSection(ReportSink& out, const S98Info& info, std::string_view fileName);

// "[ Device List ]": one line per record (the default OPNA without records).
void WriteDeviceList(ReportSink& out, const S98Info& info);

// What the consumers of the dump stream need of the head.
StreamHead StreamHeadOf(const S98Info& info);

}  // namespace tavrin
