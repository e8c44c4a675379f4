// ConvertS98File: open, read the head, choose the writer, walk, commit.
#include "engine/convert.h"

#include <cstdio>  // std::snprintf

#include "core/threaded_target.h"
#include "engine/file_io.h"
#include "engine/paths.h"
#include "formats/s98/s98.h"
#include "formats/s98/tags.h"
#include "formats/vgm/gzip_source.h"
#include "formats/vgm/vgm.h"
#include "formats/vgm/vgm_sections.h"
#include "report/check.h"
#include "report/report.h"
#include "report/midi.h"
#include "report/played.h"
#include "report/roll.h"
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

// Tells S98 from VGM by the first bytes of `in` (whose bytes `source` gives), reads and checks the
// head, asks `sameFile` whether the report would overwrite the input and resolves the options against
// the head; then returns use(log, info, window), `info` the S98Info or the VgmInfo and `log` standing
// after the head.
template <typename SameFile, typename Use>
std::string WithLogIn(ByteReader& in, ByteSource& source, const ConversionOptions& options, SameFile&& sameFile,
                      Use&& use) {
  const LogKind kind = SniffLog(in);
  if (kind != LogKind::S98) {
    return WithVgmBytes(kind, in, source, [&](ByteReader& vgm) -> std::string {
      VgmInfo info;
      DumpWindow window;
      if (std::string status = PrepareVgm(vgm, options, sameFile, info, window); !status.empty()) return status;
      return use(vgm, info, window);
    });
  }
  S98Info info;
  DumpWindow window;
  if (std::string status = Prepare(in, options, sameFile, info, window); !status.empty()) return status;
  return use(in, info, window);
}

// WithLogIn for the file `input` ("-": standard input); an `output` that is the input is refused ("-"
// names no file).
template <typename Use>
std::string WithLog(const std::filesystem::path& input, const std::filesystem::path& output,
                    const ConversionOptions& options, Use&& use) {
  InputFile file;
  file.CountReadsInto(options.bytesRead);
  if (!file.Open(input)) return std::string(kStatusFileOpenError);
  ByteReader in(file);
  const auto sameFile = [&] { return output != "-" && (output == input || IsSameFile(input, output)); };
  return WithLogIn(in, file, options, sameFile, use);
}

// Writes `bytes` to `target` through a temporary file; "" or the status of the failure.
std::string WriteWholeFile(const std::filesystem::path& target, std::string_view bytes) {
  ReportFile out;
  if (!out.Open(target)) return std::string(kStatusOutputOpenError);
  ReportSink sink(out);
  sink.Append(bytes);
  const bool flushed = sink.Flush();
  if (!out.Commit() || !flushed) return std::string(kStatusWriteError);
  return {};
}

void Write(ReportSink& out, ByteReader& in, const S98Info& info, std::string_view fileName,
           const ConversionOptions& options, const DumpWindow& window) {
  const WalkPlan plan(options);
  const bool anyShown = WriteReport(out, ReportInput{in, info, fileName, plan, window}, options.format);
  if (options.notice != nullptr) *options.notice = NothingSelected(options, info, anyShown);
}

void Write(ReportSink& out, ByteReader& in, const VgmInfo& info, std::string_view fileName,
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
  return WithLog(input, output, options, [&](ByteReader& in, const auto& info, const DumpWindow& window) {
    ReportFile report;
    if (!report.Open(output)) return std::string(kStatusOutputOpenError);
    // Formatting goes on while the writer thread hands the previous block to the kernel.
    ThreadedTarget writer(report);
    ReportSink sink(options.writerThread ? static_cast<ReportTarget&>(writer) : report);
    Write(sink, in, info, HeaderFileName(input), options, window);
    // A report of less than the file must not replace anything: the temporary report is dropped.
    if (in.Failed()) return std::string(kStatusFileReadError);
    const bool flushed = sink.Flush() && writer.Finish();
    return CommitStatus(report, flushed);
  });
}

std::string ConvertS98Bytes(std::span<const std::uint8_t> input, std::string_view fileName,
                            const ConversionOptions& options, std::string& report) {
  report.clear();
  ByteReader in(input);
  SpanSource bytes(input);
  return WithLogIn(in, bytes, options, [] { return false; },
                   [&](ByteReader& log, const auto& info, const DumpWindow& window) {
                     StringTarget target;
                     ReportSink sink(target);
                     Write(sink, log, info, fileName, options, window);
                     sink.Flush();
                     if (log.Failed()) return std::string(kStatusFileReadError);
                     report = std::move(target.text);
                     return std::string();
                   });
}

std::string WriteS98VoiceFiles(const std::filesystem::path& input, const std::filesystem::path& dir,
                               const ConversionOptions& options, std::vector<std::string>& written) {
  written.clear();
  return WithLog(input, "-", options, [&](ByteReader& in, const auto& info, const DumpWindow& window) {
    const VoiceBank bank = CollectVoices(in, info, options, window);
    if (in.Failed()) return std::string(kStatusFileReadError);
    const std::string stem = input.stem().string();
    for (const PatchFile& patch : VoicePatchFiles(bank, stem)) {
      const std::filesystem::path target = dir / patch.name;
      if (target == input || IsSameFile(input, target)) return std::string(kStatusSameFile);
      if (std::string status = WriteWholeFile(target, patch.bytes); !status.empty()) return status;
      written.push_back(patch.name);
    }
    return std::string();
  });
}

namespace {

// The title a tag block gives: "title=" of a key=value block, or the whole title of an older version.
std::string TagTitle(const TagBlock& tag) {
  if (tag.form == TagBlock::Form::Title) return tag.lines.empty() ? std::string() : tag.lines.front();
  for (const std::string& line : tag.lines) {
    if (line.size() > 6 && (line.compare(0, 6, "title=") == 0 || line.compare(0, 6, "TITLE=") == 0)) {
      return line.substr(6);
    }
  }
  return {};
}

// The title of the song: the S98 tag's, or the GD3 tag's English track name (the Japanese one when
// that is all there is). Moves `in`.
std::string SongTitle(ByteReader& in, const S98Info& info) {
  return info.header.tagOffset != 0 ? TagTitle(ReadTagBlock(in, info.header)) : std::string();
}
std::string SongTitle(ByteReader& in, const VgmInfo& info) {
  const Gd3Tag tag = ReadGd3Tag(in, info);
  return !tag.fields[0].empty() ? tag.fields[0] : tag.fields[1];
}

}  // namespace

std::string WriteS98Music(const std::filesystem::path& input, const std::filesystem::path& output, MusicFile kind,
                          const ConversionOptions& options, double rollScale, std::string& summary) {
  summary.clear();
  return WithLog(input, output, options, [&](ByteReader& in, const auto& info, const DumpWindow& window) {
    PlayedSong song = CollectPlayedNotes(in, info, options, window);
    song.title = SongTitle(in, info);
    if (in.Failed()) return std::string(kStatusFileReadError);
    StringTarget lines;
    ReportSink linesSink(lines);
    WritePlayedSummary(linesSink, song, "\n");
    linesSink.Flush();
    summary = std::move(lines.text);
    return WriteWholeFile(output,
                          kind == MusicFile::Midi ? MidiFileBytes(song) : RollSvg(song, rollScale, HeaderFileName(input)));
  });
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
