// POSIX file access for the conversion: plain read(2)/write(2) in large blocks, an unnamed report linked and renamed.
#include "engine/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// ".name.XXXXXX" beside the target, with a random suffix.
std::string HiddenName(const fs::path& target) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 rng{std::random_device{}()};
  std::string name = ".";
  name += target.filename().string();
  name += '.';
  for (int i = 0; i < 6; ++i) name += kLetters[rng() % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const fs::path& path) {
  // Standard input is read through a descriptor of its own, so closing it leaves descriptor 0 alone.
  fd_ = path == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::size_t InputFile::ReadSome(std::uint8_t* dest, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, dest, size);
    if (got > 0 && counter_ != nullptr) {
      counter_->fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
    }
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      failed_ = true;
      return 0;
    }
  }
}

bool InputFile::SeekTo(std::uint64_t offset) {
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

ReportFile::~ReportFile() { Discard(); }

void ReportFile::Discard() {
  if (fd_ >= 0 && ownsFd_) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) {
    std::error_code ec;
    fs::remove(temp_, ec);
    temp_.clear();
  }
}

bool ReportFile::Open(const fs::path& path) {
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    return true;
  }
  target_ = path;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return false;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or pipe: renaming over it would replace the node itself.
    fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ownsFd_ = fd_ >= 0;
    return fd_ >= 0;
  }
  // Through a symbolic link the report replaces the file it points to, not the link.
  std::error_code ec;
  const fs::path resolved = exists ? fs::canonical(path, ec) : path;
  if (!ec) target_ = resolved;

  // The report is written to a file without a name (O_TMPFILE) that only gets one when it is complete,
  // so a killed conversion leaves nothing behind; where the file system cannot do that, to a hidden
  // name beside the target. Both are created with mode 0666 less the umask, as a plain report would be.
  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
#ifdef O_TMPFILE
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  unnamed_ = fd_ >= 0;
#endif
  for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    temp_ = folder / HiddenName(target_);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  ownsFd_ = true;
  // A replaced report keeps its mode.
  if (exists) ::fchmod(fd_, st.st_mode & 07777);
  return true;
}

bool ReportFile::Write(const char* data, std::size_t size) {
  while (size > 0 && !failed_) {
    const ssize_t done = ::write(fd_, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      break;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return !failed_;
}

// Gives the unnamed report a hidden name beside the target, ready to be renamed into place.
bool ReportFile::LinkUnnamed() {
  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = folder / HiddenName(target_);
    // AT_EMPTY_PATH needs a capability; the /proc link works for everyone where /proc is mounted.
    if (::linkat(fd_, "", AT_FDCWD, temp_.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  temp_.clear();
  return false;
}

bool ReportFile::Commit() {
  bool ok = !failed_;
  if (unnamed_ && ok) ok = LinkUnnamed();
  if (ownsFd_) {
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
  }
  if (!temp_.empty()) {
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
      temp_.clear();
    } else {
      ok = false;
      Discard();
    }
  }
  return ok;
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

}  // namespace tavrin
