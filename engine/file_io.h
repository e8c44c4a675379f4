// The files of one conversion: the input read in blocks, the report written to a temporary file and renamed.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/byte_reader.h"
#include "core/report_sink.h"
#include "core/status.h"

namespace tavrin {

class InputFile final : public ByteSource {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  // False when the path cannot be read as a file; a folder counts as such (Linux opens folders), and
  // so does a pipe that no program writes to: nothing here ever waits for a writer to come.
  // "-" is standard input.
  bool Open(const std::filesystem::path& path);
  // Every block read from now on is added to `counter` (none when null); set it before Open to count
  // input that is copied aside as it arrives.
  void CountReadsInto(std::atomic<std::uint64_t>* counter) { counter_ = counter; }
  std::size_t ReadSome(std::uint8_t* dest, std::size_t size) override;
  bool SeekTo(std::uint64_t offset) override;
  bool Failed() const override { return failed_; }

 private:
  void SpoolIfUnseekable();

  int fd_ = -1;
  bool failed_ = false;
  bool hasPending_ = false;  // a byte read to find out whether a pipe has a writer
  std::uint8_t pending_ = 0;
  std::atomic<std::uint64_t>* counter_ = nullptr;
};

// The report on its way to disk. A regular file (or a new one) is written under a temporary name
// beside it and renamed over it by Commit, so a failed or interrupted conversion never leaves half a
// report and never destroys the previous one. Devices, pipes and "-" (standard output) are written
// directly, as they cannot be replaced, and so are names of this process's own open streams
// (/dev/stdout, /dev/fd/N), which are written through the descriptor.
class ReportFile final : public ReportTarget {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile() override;  // drops the temporary file unless committed

  // False when the report cannot be created: an existing folder at that path, a name too long for
  // the file system, an existing report that may not be written, a pipe that no program reads.
  bool Open(const std::filesystem::path& path);
  bool Write(const char* data, std::size_t size) override;
  // Closes the file and puts it in place; false if anything failed on the way.
  bool Commit();
  // After a failed Commit: the errno that kept a complete report from its place (0 when the writing
  // itself failed).
  int PlaceError() const { return placeError_; }

 private:
  void Discard();
  bool LinkUnnamed();
  bool OpenStream(int fd);
  bool OpenSpecial(const std::filesystem::path& path);

  int fd_ = -1;
  int heldSlot_ = -1;    // where the signal handler finds temp_
  int placeError_ = 0;
  bool unnamed_ = false;  // created without a name; LinkUnnamed gives it one at commit
  bool ownsFd_ = false;
  bool failed_ = false;
  std::filesystem::path target_;
  std::filesystem::path temp_;  // empty when writing directly
};

// Commits the report: "" when it is complete and in place; otherwise the status that says what failed.
inline std::string CommitStatus(ReportFile& report, bool flushed) {
  if (report.Commit() && flushed) return {};
  if (report.PlaceError() == 0) return std::string(kStatusWriteError);
  return std::string(kStatusNotPlaced) + std::generic_category().message(report.PlaceError()) + ".";
}

// The descriptor that `path` names when it stands for one of this process's open streams: "-" for
// standard output, /dev/stdout, /dev/stderr, /dev/stdin, /dev/fd/N, /proc/self/fd/N. -1 otherwise.
int StreamDescriptor(const std::filesystem::path& path);

// True when both paths name one existing file (hard links and symbolic links included).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tavrin
