// The progress line of long work on standard error: files done, the current file's share, speed, time left.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tavrin::cli {

enum class ProgressMode : std::uint8_t { Auto, Always, Never };

// "auto", "always" or "never".
std::optional<ProgressMode> ParseProgressMode(std::string_view text);

// Auto draws only on a terminal, and not while a report is being printed on the same screen.
bool WantProgress(ProgressMode mode, bool errorIsTerminal, bool reportOnTerminal);

bool IsTerminal(std::FILE* stream);

// The batch at one moment, as the line tells it.
struct ProgressState {
  std::size_t filesDone = 0;
  std::size_t filesTotal = 0;
  std::string currentName;        // the first file not done yet; empty when there is none
  std::uint64_t currentRead = 0;  // bytes of it read so far
  std::uint64_t currentSize = 0;  // 0 when unknown (standard input from a pipe)
  double bytesPerSecond = 0;
  std::optional<double> secondsLeft;  // unknown while a size is unknown or nothing has been read
};

// "3/38 files  song.s98 47%  12.3 MB/s  0:04 left", at most `width` columns (the name gives way first).
std::string FormatProgress(const ProgressState& state, std::size_t width);

// One input of the batch as the line follows it; the conversion adds to bytesRead as it reads.
struct ProgressFile {
  ProgressFile(std::string shownName, std::uint64_t fileSize) : name(std::move(shownName)), size(fileSize) {}
  std::string name;
  std::uint64_t size;  // 0 when unknown
  std::atomic<std::uint64_t> bytesRead{0};
  std::atomic<bool> done{false};
};

// The size of an input before it is read: 0 when it cannot be known beforehand (a pipe); "-" is
// standard input.
std::uint64_t InputSize(const std::string& argument);

// Redrawn in place a few times a second by a thread of its own, first once `delay` has passed, so
// work that ends sooner shows none. Log lines are written while Clear's lock is held.
class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, bool enabled, std::chrono::milliseconds delay = std::chrono::seconds(1));
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine();

  // Files are added before Start, in the order of the batch.
  ProgressFile& Add(std::string name, std::uint64_t size);
  ProgressFile& File(std::size_t index) { return files_[index]; }
  void Start();
  // Erases the line, if drawn, for as long as the lock is held: what is written meanwhile starts at
  // the left margin and the line comes back below it.
  std::unique_lock<std::mutex> Clear();
  // Erases the line for good.
  void Stop();

 private:
  void Run();
  void Draw();
  void Erase();
  ProgressState Snapshot() const;

  std::FILE* stream_;
  bool enabled_;
  std::chrono::milliseconds delay_;
  std::deque<ProgressFile> files_;
  std::chrono::steady_clock::time_point start_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::size_t drawn_ = 0;  // columns of the line on the screen now
};

}  // namespace tavrin::cli
