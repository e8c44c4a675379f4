// The progress line: what it says (FormatProgress) and the thread that redraws it in place.
#include "cli/progress.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>  // PRIu64
#include <filesystem>
#include <system_error>

#include "engine/paths.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace tavrin::cli {

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(250);

// "812 B", "12.3 kB", "4.5 MB", "1.2 GB": decimal units, as transfer speeds are given.
std::string Amount(double bytes) {
  static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB"};
  std::size_t unit = 0;
  while (bytes >= 1000 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%.0f %s", bytes, kUnits[unit]);
  } else {
    std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
  }
  return text;
}

// "0:04", "12:30", "1:02:03".
std::string Duration(double seconds) {
  const auto total = static_cast<std::uint64_t>(std::min(seconds, 359999.0) + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", total / 3600,
                  static_cast<unsigned>(total / 60 % 60), static_cast<unsigned>(total % 60));
  } else {
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(total / 60),
                  static_cast<unsigned>(total % 60));
  }
  return text;
}

// A name as one line of the screen: control characters would move the cursor or end the line.
std::string Printable(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

// The end of `name` in at most `width` bytes, led by "..." when cut, never starting inside a UTF-8
// sequence.
std::string Tail(const std::string& name, std::size_t width) {
  if (name.size() <= width) return name;
  if (width < 4) return {};
  std::size_t from = name.size() - (width - 3);
  while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
  return "..." + name.substr(from);
}

std::size_t TerminalWidth(std::FILE* stream) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  if (::GetConsoleScreenBufferInfo(handle, &info)) {
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
  }
#else
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

}  // namespace

std::optional<ProgressMode> ParseProgressMode(std::string_view text) {
  if (text == "auto") return ProgressMode::Auto;
  if (text == "always") return ProgressMode::Always;
  if (text == "never") return ProgressMode::Never;
  return std::nullopt;
}

bool WantProgress(ProgressMode mode, bool errorIsTerminal, bool reportOnTerminal) {
  switch (mode) {
    case ProgressMode::Always:
      return true;
    case ProgressMode::Never:
      return false;
    case ProgressMode::Auto:
      break;
  }
  return errorIsTerminal && !reportOnTerminal;
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return ::_isatty(::_fileno(stream)) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

std::string FormatProgress(const ProgressState& state, std::size_t width) {
  std::string files;
  if (state.filesTotal > 1)
    files = std::to_string(state.filesDone) + "/" + std::to_string(state.filesTotal) + " files  ";
  std::string share;
  if (state.currentSize > 0) {
    share = " " + std::to_string(std::min(state.currentRead, state.currentSize) * 100 / state.currentSize) +
            "%  ";
  } else {
    share = " " + Amount(static_cast<double>(state.currentRead)) + "  ";
  }
  std::string speed = Amount(state.bytesPerSecond) + "/s";
  if (state.secondsLeft) speed += "  " + Duration(*state.secondsLeft) + " left";

  // The current file, when there is one and room for at least a few letters of its name.
  std::string current;
  const std::size_t fixed = files.size() + share.size() + speed.size();
  if (!state.currentName.empty() && fixed < width)
    current = Tail(Printable(state.currentName), width - fixed);
  if (!current.empty()) current += share;
  std::string line = files + current + speed;
  if (line.size() > width) line.resize(width);
  return line;
}

std::uint64_t InputSize(const std::string& argument) {
  if (argument == "-") {
    struct stat st {};
    if (::fstat(::fileno(stdin), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG) {
      return static_cast<std::uint64_t>(st.st_size);
    }
    return 0;
  }
  std::error_code ec;
  const std::filesystem::path path = PathFromArgument(argument);
  if (!std::filesystem::is_regular_file(path, ec)) return 0;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

ProgressLine::ProgressLine(std::FILE* stream, bool enabled, std::chrono::milliseconds delay)
    : stream_(stream), enabled_(enabled), delay_(delay) {}

ProgressLine::~ProgressLine() { Stop(); }

ProgressFile& ProgressLine::Add(std::string name, std::uint64_t size) {
  return files_.emplace_back(std::move(name), size);
}

void ProgressLine::Start() {
  start_ = std::chrono::steady_clock::now();
  if (enabled_) thread_ = std::thread([this] { Run(); });
}

std::unique_lock<std::mutex> ProgressLine::Clear() {
  std::unique_lock lock(mutex_);
  Erase();
  return lock;
}

void ProgressLine::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  Erase();
}

void ProgressLine::Run() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, delay_, [this] { return stopping_; })) return;
  do {
    Draw();
  } while (!wake_.wait_for(lock, kRedrawPeriod, [this] { return stopping_; }));
}

ProgressState ProgressLine::Snapshot() const {
  ProgressState state;
  state.filesTotal = files_.size();
  std::uint64_t read = 0;
  std::uint64_t left = 0;
  bool sizesKnown = true;
  for (const ProgressFile& file : files_) {
    const std::uint64_t got = file.bytesRead.load(std::memory_order_relaxed);
    read += got;
    if (file.done.load(std::memory_order_acquire)) {
      ++state.filesDone;
      continue;
    }
    if (state.currentName.empty()) {
      state.currentName = file.name;
      state.currentRead = got;
      state.currentSize = file.size;
    }
    if (file.size == 0) sizesKnown = false;
    left += file.size - std::min(got, file.size);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  state.bytesPerSecond = seconds > 0 ? static_cast<double>(read) / seconds : 0;
  if (sizesKnown && state.bytesPerSecond > 0)
    state.secondsLeft = static_cast<double>(left) / state.bytesPerSecond;
  return state;
}

void ProgressLine::Draw() {
  // One column short of the width: a line that fills the last column wraps on some terminals.
  const std::string line = FormatProgress(Snapshot(), TerminalWidth(stream_) - 1);
  std::string text = "\r" + line;
  if (line.size() < drawn_) text.append(drawn_ - line.size(), ' ');
  std::fputs(text.c_str(), stream_);
  std::fflush(stream_);
  drawn_ = line.size();
}

void ProgressLine::Erase() {
  if (drawn_ == 0) return;
  std::string text = "\r" + std::string(drawn_, ' ') + "\r";
  std::fputs(text.c_str(), stream_);
  std::fflush(stream_);
  drawn_ = 0;
}

}  // namespace tavrin::cli
