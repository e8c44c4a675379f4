// Writing the S98 information section and device list.
#include "formats/s98/s98_sections.h"

namespace tavrin {

void WriteInformationSection(ReportSink& out, const S98Info& info, std::string_view fileName) {
  const S98Header& h = info.header;
  out.Print<"[ S98 Information ]\r\n">();
  out.Print<"Filename       = %s\r\n">(fileName);
  out.Print<"Format Version = %c\r\n">(h.version);
  out.Print<"Timer Period   = %d/%d (%f msec)\r\n">(
      h.timerNumerator, h.timerDenominator,
      static_cast<double>(h.timerNumerator) / static_cast<double>(h.timerDenominator) * 1000.0);
  out.Print<"Tag Offset     = 0x%08x">(h.tagOffset);
  if (h.tagOffset != 0) {
    out.Print<"\r\n">();
  } else {
    out.Print<" (no tag)\r\n">();
  }
  out.Print<"Data Offset    = 0x%08x\r\n">(h.dataOffset);
  out.Print<"Loop Offset    = 0x%08x">(h.loopOffset);
  if (h.loopOffset != 0) {
    out.Print<"\r\n">();
  } else {
    out.Print<" (no loop)\r\n">();
  }
  out.Print<"Device Count   = %d\r\n\r\n">(h.deviceCount);
}

void WriteDeviceList(ReportSink& out, const S98Info& info) {
  out.Print<"[ Device List ]\r\n">();
  const std::size_t entries = info.devices.empty() ? 1 : info.devices.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const DeviceInfo& d = info.devices.empty() ? kDefaultDevice : info.devices[i];
    out.Print<"#%02d %-16s Clock: %dHz  PAN: ">(static_cast<int>(i + 1), DeviceName(d.type), d.clock);
    char bits[8];
    for (int bit = 7; bit >= 0; --bit) bits[7 - bit] = (d.pan >> bit) & 1u ? '1' : '0';
    out.Append(std::string_view(bits, sizeof bits));
    out.Print<"\r\n">();
  }
}

StreamHead StreamHeadOf(const S98Info& info) {
  return StreamHead{TickRate{info.header.timerNumerator, info.header.timerDenominator}, info.header.dataOffset,
                    info.header.loopOffset, info.header.tagOffset > info.header.dataOffset};
}

}  // namespace tavrin
