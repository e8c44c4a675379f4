// The files of one conversion: the input read in blocks, the report written to a temporary file and renamed.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>

#include "engine/byte_reader.h"
#include "engine/report_sink.h"

namespace tavrin {

class InputFile final : public ByteSource {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  // False when the path cannot be read as a file; a folder counts as such (Linux opens folders).
  // "-" is standard input.
  bool Open(const std::filesystem::path& path);
  // Every block read from now on is added to `counter` (none when null).
  void CountReadsInto(std::atomic<std::uint64_t>* counter) { counter_ = counter; }
  std::size_t ReadSome(std::uint8_t* dest, std::size_t size) override;
  bool SeekTo(std::uint64_t offset) override;
  bool Failed() const override { return failed_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::atomic<std::uint64_t>* counter_ = nullptr;
};

// The report on its way to disk. A regular file (or a new one) is written under a temporary name
// beside it and renamed over it by Commit, so a failed or interrupted conversion never leaves half a
// report and never destroys the previous one. Devices, pipes and "-" (standard output) are written
// directly, as they cannot be replaced.
class ReportFile final : public ReportTarget {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile() override;  // drops the temporary file unless committed

  // False when the report cannot be created (an existing folder at that path included).
  bool Open(const std::filesystem::path& path);
  bool Write(const char* data, std::size_t size) override;
  // Closes the file and puts it in place; false if anything failed on the way.
  bool Commit();

 private:
  void Discard();
  bool LinkUnnamed();

  int fd_ = -1;
  bool unnamed_ = false;  // created without a name; LinkUnnamed gives it one at commit
  bool ownsFd_ = false;
  bool failed_ = false;
  std::filesystem::path target_;
  std::filesystem::path temp_;  // empty when writing directly
};

// True when both paths name one existing file (hard links and symbolic links included).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tavrin
