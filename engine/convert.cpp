// ConvertS98File: open, read the head, choose the writer, walk, commit.
#include "engine/convert.h"

#include "engine/file_io.h"
#include "engine/paths.h"
#include "formats/s98/s98.h"
#include "formats/vgm/gzip_source.h"
#include "report/check.h"
#include "formats/vgm/vgm.h"
#include "report/report.h"
#include "report/voice_files.h"
#include "report/voices.h"

namespace tavrin {

namespace {

// --state-at points and --from/--to resolved against the log's tick rate; "" when they fit it.
std::string ResolveOptions(const ConversionOptions& options, const TickRate& rate, DumpWindow& window) {
  for (const StatePoint& point : options.stateAt) {
    std::uint64_t tick = 0;
    std::int64_t offset = 0;
    if (point.kind != StatePoint::Kind::Point) continue;
    if (std::string status = ResolvePoint(point.point, rate, tick, offset); !status.empty()) return status;
  }
  return ResolveWindow(options.selection, rate, window);
}

// Reads and checks the head, asks `sameFile` whether the report would overwrite the input, and resolves
// the options against the head; "" when the report can be written.
template <typename SameFile>
std::string Prepare(ByteReader& in, const ConversionOptions& options, SameFile&& sameFile, S98Info& info,
                    DumpWindow& window) {
  if (std::string status = ReadHead(in, options.skipVersionCheck, info); !status.empty()) return status;
  if (sameFile()) return std::string(kStatusSameFile);
  return ResolveOptions(options, TickRate{info.header.timerNumerator, info.header.timerDenominator}, window);
}

// The same for a VGM log (ticks are samples).
template <typename SameFile>
std::string PrepareVgm(ByteReader& in, const ConversionOptions& options, SameFile&& sameFile, VgmInfo& info,
                       DumpWindow& window) {
  if (std::string status = ReadVgmHead(in, info); !status.empty()) return status;
  if (sameFile()) return std::string(kStatusSameFile);
  return ResolveOptions(options, StreamHeadOf(info).rate, window);
}

void Write(ReportSink& out, ByteReader& in, const S98Info& info, std::string_view fileName,
           const ConversionOptions& options, const DumpWindow& window) {
  const WalkPlan plan(options);
  WriteReport(out, ReportInput{in, info, fileName, plan, window}, options.format);
}

void WriteVgm(ReportSink& out, ByteReader& in, const VgmInfo& info, std::string_view fileName,
              const ConversionOptions& options, const DumpWindow& window) {
  const WalkPlan plan(options);
  WriteVgmReport(out, VgmReportInput{in, info, fileName, plan, window}, options.format);
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
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  const auto sameFile = [&] { return output != "-" && (output == input || IsSameFile(input, output)); };
  // Opens the report, writes it, and keeps it only when the whole input was read.
  const auto commit = [&](ByteReader& from, auto&& write) -> std::string {
    ReportFile report;
    if (!report.Open(output)) return std::string(kStatusOutputOpenError);
    ReportSink sink(report);
    write(sink);
    // A report of less than the file must not replace anything: the temporary report is dropped.
    if (from.Failed()) return std::string(kStatusFileReadError);
    const bool flushed = sink.Flush();
    if (!report.Commit() || !flushed) return std::string(kStatusWriteError);
    return {};
  };
  const LogKind kind = SniffLog(in);
  if (kind != LogKind::S98) {
    return WithVgmBytes(kind, in, file, [&](ByteReader& vgm) -> std::string {
      VgmInfo info;
      DumpWindow window;
      if (std::string status = PrepareVgm(vgm, options, sameFile, info, window); !status.empty()) return status;
      return commit(vgm, [&](ReportSink& sink) { WriteVgm(sink, vgm, info, HeaderFileName(input), options, window); });
    });
  }
  S98Info info;
  DumpWindow window;
  if (std::string status = Prepare(in, options, sameFile, info, window); !status.empty()) return status;
  return commit(in, [&](ReportSink& sink) { Write(sink, in, info, HeaderFileName(input), options, window); });
}

std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report) {
  report.clear();
  ByteReader in(input);
  if (const LogKind kind = SniffLog(in); kind != LogKind::S98) {
    SpanSource bytes(input);
    return WithVgmBytes(kind, in, bytes, [&](ByteReader& vgm) -> std::string {
      VgmInfo info;
      DumpWindow window;
      if (std::string status = PrepareVgm(vgm, options, [] { return false; }, info, window); !status.empty()) {
        return status;
      }
      StringTarget target;
      ReportSink sink(target);
      WriteVgm(sink, vgm, info, fileName, options, window);
      sink.Flush();
      if (vgm.Failed()) return std::string(kStatusFileReadError);
      report = std::move(target.text);
      return std::string();
    });
  }
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
  return CheckLog(in, file, skipVersionCheck, findings);
}

}  // namespace tavrin
