// POSIX file access for the conversion: plain read(2)/write(2) in large blocks, mkstemp and rename.
#include "engine/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace tavrin {

namespace fs = std::filesystem;

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const fs::path& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
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

  std::string hidden = ".";
  hidden += target_.filename().string();
  hidden += ".XXXXXX";
  std::string pattern = (target_.parent_path() / hidden).string();
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) return false;
  ownsFd_ = true;
  temp_ = pattern;
  ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
  // mkstemp makes the file private; give it the mode a plainly created (or the replaced) file has.
  mode_t mode = 0;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_, mode);
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

bool ReportFile::Commit() {
  bool ok = !failed_;
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
