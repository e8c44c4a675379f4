// ConvertS98File: open, read the head, choose the writer, walk, commit.
#include "engine/convert.h"

#include <cstdio>  // std::snprintf

#include "engine/file_io.h"
#include "engine/paths.h"
#include "formats/s98/s98.h"
#include "report/report.h"
#include "report/voice_files.h"
#include "report/voices.h"

namespace tavrin {

namespace {

// Reads and checks the head, asks `sameFile` whether the report would overwrite the input, and resolves
// the options against the head; "" when the report can be written.
template <typename SameFile>
std::string Prepare(ByteReader& in, const ConversionOptions& options, SameFile&& sameFile, S98Info& info,
                    DumpWindow& window) {
  if (std::string status = ReadHead(in, options.skipVersionCheck, info); !status.empty()) return status;
  if (sameFile()) return std::string(kStatusSameFile);
  const TickRate rate{info.header.timerNumerator, info.header.timerDenominator};
  for (const StatePoint& point : options.stateAt) {
    std::uint64_t tick = 0;
    std::int64_t offset = 0;
    if (point.kind != StatePoint::Kind::Point) continue;
    if (std::string status = ResolvePoint(point.point, rate, tick, offset); !status.empty()) return status;
  }
  return ResolveWindow(options.selection, rate, window);
}

// What the user is told when the selection finds nothing in this file: devices it does not have,
// or a range without a command. Empty when something was selected.
std::string NothingSelected(const ConversionOptions& options, const S98Info& info, bool anyShown) {
  std::string notice;
  if (options.selection.deviceFilter) {
    const DeviceTable devices = DeviceTableOf(info);
    for (int d = 0; d < kDeviceIndexCount; ++d) {
      if (!options.selection.devices[static_cast<std::size_t>(d)] || devices.Find(d) != nullptr) continue;
      char device[8];
      std::snprintf(device, sizeof device, "#%02d", d);
      notice += std::string(notice.empty() ? "" : ", ") + device;
    }
    if (!notice.empty()) notice = "--device: the file has no device " + notice;
  }
  if (!anyShown) {
    notice += std::string(notice.empty() ? "" : "; ") + "the selection holds no command of the dump";
  }
  return notice;
}

void Write(ReportSink& out, ByteReader& in, const S98Info& info, std::string_view fileName,
           const ConversionOptions& options, const DumpWindow& window) {
  const WalkPlan plan(options);
  const bool anyShown = WriteReport(out, ReportInput{in, info, fileName, plan, window}, options.format);
  if (options.notice != nullptr) *options.notice = NothingSelected(options, info, anyShown);
}

}  // namespace

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           bool verbose, bool skipVersionCheck) {
  return ConvertS98File(input, output,
                        ConversionOptions{.verbose = verbose, .skipVersionCheck = skipVersionCheck});
}

std::string ConvertS98File(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConversionOptions& options) {
  InputFile file;
  file.CountReadsInto(options.bytesRead);
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  S98Info info;
  DumpWindow window;
  const auto sameFile = [&] { return output != "-" && (output == input || IsSameFile(input, output)); };
  if (std::string status = Prepare(in, options, sameFile, info, window); !status.empty()) return status;

  ReportFile report;
  if (!report.Open(output)) return std::string(kStatusOutputOpenError);
  ReportSink sink(report);
  Write(sink, in, info, HeaderFileName(input), options, window);
  // A report of less than the file must not replace anything: the temporary report is dropped.
  if (in.Failed()) return std::string(kStatusFileReadError);
  const bool flushed = sink.Flush();
  return CommitStatus(report, flushed);
}

std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report) {
  report.clear();
  ByteReader in(input);
  S98Info info;
  DumpWindow window;
  if (std::string status = Prepare(in, options, [] { return false; }, info, window); !status.empty()) {
    return status;
  }
  StringTarget target;
  ReportSink sink(target);
  Write(sink, in, info, fileName, options, window);
  sink.Flush();
  report = std::move(target.text);
  return {};
}

std::string WriteS98VoiceFiles(const std::filesystem::path& input, const std::filesystem::path& dir,
                               const ConversionOptions& options, std::vector<std::string>& written) {
  written.clear();
  InputFile file;
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  S98Info info;
  DumpWindow window;
  if (std::string status = Prepare(in, options, [] { return false; }, info, window); !status.empty()) {
    return status;
  }
  const VoiceBank bank = CollectVoices(in, info, options, window);
  if (in.Failed()) return std::string(kStatusFileReadError);
  const std::string stem = input.stem().string();
  for (const PatchFile& patch : VoicePatchFiles(bank, stem)) {
    const std::filesystem::path target = dir / patch.name;
    if (target == input || IsSameFile(input, target)) return std::string(kStatusSameFile);
    ReportFile out;
    if (!out.Open(target)) return std::string(kStatusOutputOpenError);
    ReportSink sink(out);
    sink.Append(patch.bytes);
    const bool flushed = sink.Flush();
    if (!out.Commit() || !flushed) return std::string(kStatusWriteError);
    written.push_back(patch.name);
  }
  return {};
}

std::string CheckS98File(const std::filesystem::path& input, bool skipVersionCheck,
                         std::vector<CheckFinding>& findings) {
  findings.clear();
  InputFile file;
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  return CheckS98(in, skipVersionCheck, findings);
}

}  // namespace tavrin
