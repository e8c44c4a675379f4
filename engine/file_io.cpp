// POSIX file access for the conversion: plain read(2)/write(2) in large blocks, an unnamed report linked and renamed.
#include "engine/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>  // std::getenv
#include <charconv>
#include <chrono>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "engine/process_guard.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// How long a pipe may take to get its other end: long enough for a writer or reader started beside
// the program (`producer > fifo & tavrin fifo`), short enough that a pipe nobody serves is refused at once.
constexpr auto kPipePartnerGrace = std::chrono::seconds(1);
constexpr timespec kPipePoll{0, 10'000'000};

// The part of the report's name borrowed for the hidden temporary name: short enough that the
// temporary name fits every file system however long the report's own name is, cut where a UTF-8
// character begins.
constexpr std::size_t kBorrowedNameBytes = 32;

// ".name.XXXXXX" beside the target, with a random suffix and at most kBorrowedNameBytes of the name.
std::string HiddenName(const fs::path& target) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 rng{std::random_device{}()};
  const std::string whole = target.filename().native();
  std::size_t borrowed = std::min(whole.size(), kBorrowedNameBytes);
  while (borrowed > 0 && borrowed < whole.size() && (static_cast<unsigned char>(whole[borrowed]) & 0xC0) == 0x80) {
    --borrowed;
  }
  std::string name = ".";
  name.append(whole, 0, borrowed);
  name += '.';
  for (int i = 0; i < 6; ++i) name += kLetters[rng() % (sizeof kLetters - 1)];
  return name;
}

bool ClearNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// The path symbolic links lead to, followed to their end whether or not that end exists, so a
// dangling link gets its target written like a working one. A loop is left for stat to refuse.
fs::path FollowLinks(fs::path path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)) || ec) return path;
    const fs::path to = fs::read_symlink(path, ec);
    if (ec) return path;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  return path;
}

// "/proc/PID/fd" or "/proc/PID/task/TID/fd" of this process, as FollowStreamPath resolves them.
bool IsOwnDescriptorFolder(const fs::path& folder) {
  const std::string own = "/proc/" + std::to_string(::getpid());
  const std::string& s = folder.native();
  if (s == own + "/fd") return true;
  return s.starts_with(own + "/task/") && s.ends_with("/fd") &&
         s.find('/', own.size() + 6) == s.size() - 3;
}

}  // namespace

int StreamDescriptor(const fs::path& path) {
  if (path == "-") return STDOUT_FILENO;
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  if (ec) return -1;
  // Resolved one component at a time, as the kernel does, but stopping at a descriptor of this
  // process: past that point the link leads to the file behind the stream, not to the stream.
  std::vector<std::string> rest;  // components still to walk, the next one last
  auto push = [&rest](const fs::path& p) {
    std::vector<std::string> parts;
    for (const fs::path& part : p.relative_path()) {
      if (!part.empty() && part != ".") parts.push_back(part.native());
    }
    rest.insert(rest.end(), parts.rbegin(), parts.rend());
  };
  push(absolute);
  fs::path done = "/";
  for (int hops = 0; !rest.empty();) {
    const std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == "..") {
      done = done.parent_path();
      continue;
    }
    if (rest.empty() && IsOwnDescriptorFolder(done)) {
      int fd = -1;
      const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), fd);
      return error == std::errc() && end == part.data() + part.size() && fd >= 0 ? fd : -1;
    }
    const fs::path next = done / part;
    struct stat st {};
    if (::lstat(next.c_str(), &st) != 0) return -1;
    if (!S_ISLNK(st.st_mode)) {
      done = next;
      continue;
    }
    if (++hops > 40) return -1;
    const fs::path to = fs::read_symlink(next, ec);
    if (ec) return -1;
    if (to.is_absolute()) done = "/";
    push(to);
  }
  return -1;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const fs::path& path) {
  // Standard input is read through a descriptor of its own, so closing it leaves descriptor 0 alone;
  // whatever feeds it was there before the program started, so it is read as it comes.
  if (path == "-") {
    fd_ = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ >= 0) SpoolIfUnseekable();
    return fd_ >= 0;
  }
  // Without O_NONBLOCK a fifo with no writer, or a device waiting for a carrier, would hold the
  // open for ever; the flag is cleared again once the file is known to be worth reading.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd_, &st) == 0 && !S_ISDIR(st.st_mode);
  if (ok && S_ISFIFO(st.st_mode)) {
    // A read that finds no data tells the two cases apart: EAGAIN while a writer is there, 0 while
    // there is none. A byte that arrives meanwhile is kept for the first ReadSome.
    ok = false;
    const auto deadline = std::chrono::steady_clock::now() + kPipePartnerGrace;
    for (;;) {
      const ssize_t got = ::read(fd_, &pending_, 1);
      if (got == 1 || (got < 0 && errno == EAGAIN)) {
        hasPending_ = got == 1;
        ok = true;
        break;
      }
      if ((got < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) break;
      ::nanosleep(&kPipePoll, nullptr);
    }
  }
  if (!ok || !ClearNonBlocking(fd_)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  SpoolIfUnseekable();
  return true;
}

// Input that cannot go back (a pipe, a terminal, a socket) is copied whole into a file without a name
// first: the tag block, a long wait count or a cut write can then be read again exactly as from the
// file on disk, and memory stays what it is for any file. A copy that fails is a read error.
void InputFile::SpoolIfUnseekable() {
  if (::lseek(fd_, 0, SEEK_CUR) >= 0) return;
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || *folder == '\0') folder = "/tmp";
  int copy = -1;
#ifdef O_TMPFILE
  copy = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (copy < 0) {
    std::string name = std::string(folder) + "/tavrin-input-XXXXXX";
    copy = ::mkostemp(name.data(), O_CLOEXEC);
    if (copy >= 0) ::unlink(name.c_str());
  }
  bool ok = copy >= 0;
  if (ok && hasPending_) ok = ::write(copy, &pending_, 1) == 1;
  hasPending_ = false;
  std::vector<std::uint8_t> block(ByteReader::kBlockSize);
  while (ok) {
    const ssize_t got = ::read(fd_, block.data(), block.size());
    if (got == 0) break;
    if (got < 0) {
      ok = errno == EINTR;
      continue;
    }
    if (counter_ != nullptr) counter_->fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t put = ::write(copy, block.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      done += put > 0 ? put : 0;
    }
  }
  ::close(fd_);
  fd_ = copy;
  counter_ = nullptr;  // the input was counted as it came in
  if (!ok || ::lseek(fd_, 0, SEEK_SET) != 0) failed_ = true;
}

std::size_t InputFile::ReadSome(std::uint8_t* dest, std::size_t size) {
  if (hasPending_ && size > 0) {
    hasPending_ = false;
    dest[0] = pending_;
    return 1;
  }
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
  hasPending_ = false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

ReportFile::~ReportFile() { Discard(); }

void ReportFile::Discard() {
  if (fd_ >= 0 && ownsFd_) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  ReleaseTemporaryName(heldSlot_);
  heldSlot_ = -1;
}

// One of this process's own streams: written where it stands, appended to where it was opened for
// appending, as a shell redirection to it would be; never renamed over.
bool ReportFile::OpenStream(int fd) {
  if (StandardDescriptorWasClosed(fd)) {
    // Closed when the program started: writing there fails, as it would have on the closed descriptor.
    fd_ = -1;
    return true;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
  fd_ = fd;
  return true;
}

// A device or a pipe: renaming over it would replace the node itself, so it is written directly.
bool ReportFile::OpenSpecial(const fs::path& path) {
  // A fifo that no program reads refuses a non-blocking open (ENXIO) instead of waiting for a reader.
  const auto deadline = std::chrono::steady_clock::now() + kPipePartnerGrace;
  for (;;) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (fd_ >= 0 || errno != ENXIO || std::chrono::steady_clock::now() >= deadline) break;
    ::nanosleep(&kPipePoll, nullptr);
  }
  ownsFd_ = fd_ >= 0;
  if (fd_ >= 0 && !ClearNonBlocking(fd_)) Discard();
  return fd_ >= 0;
}

bool ReportFile::Open(const fs::path& path) {
  if (const int stream = StreamDescriptor(path); stream >= 0) return OpenStream(stream);
  // Through a symbolic link, working or dangling, the report replaces the file it points to.
  target_ = FollowLinks(path);
  struct stat st {};
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  // Anything but "no such file" (a name too long, a link loop, a file where a folder should be) means
  // no report can be created under that name.
  if (!exists && errno != ENOENT) return false;
  if (exists && S_ISDIR(st.st_mode)) return false;
  if (exists && !S_ISREG(st.st_mode)) return OpenSpecial(target_);
  // A report its owner protected against writing is not replaced behind the protection; opening it
  // for writing, as a program that wrote it in place would, fails the same way.
  if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return false;

  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
  const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && target_.filename().native().size() > static_cast<std::size_t>(nameMax)) return false;

  // The report is written to a file without a name (O_TMPFILE) that only gets one when it is complete,
  // so a killed conversion leaves nothing behind; where the file system cannot do that, to a hidden
  // name beside the target, which the signal handler removes. Both are created with mode 0666 less the
  // umask, as a plain report would be.
#ifdef O_TMPFILE
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  unnamed_ = fd_ >= 0;
#endif
  for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    temp_ = folder / HiddenName(target_);
    // Held before it exists, so there is no moment when a signal would leave it behind.
    heldSlot_ = HoldTemporaryName(temp_.c_str());
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    const int error = errno;
    ReleaseTemporaryName(heldSlot_);
    heldSlot_ = -1;
    if (error != EEXIST) break;
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
    heldSlot_ = HoldTemporaryName(temp_.c_str());
    // AT_EMPTY_PATH needs a capability; the /proc link works for everyone where /proc is mounted.
    if (::linkat(fd_, "", AT_FDCWD, temp_.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    placeError_ = errno;
    ReleaseTemporaryName(heldSlot_);
    heldSlot_ = -1;
    if (errno != EEXIST) break;
  }
  temp_.clear();
  return false;
}

bool ReportFile::Commit() {
  bool ok = !failed_;
  if (unnamed_ && ok) ok = LinkUnnamed();
  if (ownsFd_) {
    if (::close(fd_) != 0) {
      ok = false;
      placeError_ = 0;
    }
    fd_ = -1;
  }
  if (!temp_.empty()) {
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
      temp_.clear();
      ReleaseTemporaryName(heldSlot_);
      heldSlot_ = -1;
    } else {
      if (ok) placeError_ = errno;
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
