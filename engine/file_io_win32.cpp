// Windows file access for the conversion: UTF-16 paths, the report moved into place by MoveFileExW.
#include "engine/file_io.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// _read and _write take an unsigned int count; larger blocks go in pieces of this size.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

// A handle that only asks about a file (no read or write access), so it opens whatever another
// program holds open; folders need backup semantics to be opened at all.
HANDLE QueryHandle(const fs::path& path) {
  return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// True when `path` opens as something other than a file on a disk: NUL, CON, a named pipe.
bool IsDeviceOrPipe(const fs::path& path) {
  const HANDLE h = QueryHandle(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD type = ::GetFileType(h);
  ::CloseHandle(h);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

// A name for the temporary report that no other conversion picks at the same moment: the process,
// the thread, the clock and the attempt.
std::wstring TemporaryName(const std::wstring& target, unsigned attempt) {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const unsigned long long mix = (static_cast<unsigned long long>(::GetCurrentProcessId()) << 40) ^
                                 (static_cast<unsigned long long>(::GetCurrentThreadId()) << 20) ^
                                 static_cast<unsigned long long>(now.QuadPart) ^ (attempt * 0x9E3779B9ull);
  wchar_t suffix[24];
  std::swprintf(suffix, sizeof suffix / sizeof suffix[0], L".%06llx", mix & 0xFFFFFFull);
  return L"." + target + suffix;
}

}  // namespace

int StreamDescriptor(const fs::path& path) { return path == "-" ? 1 : -1; }

InputFile::~InputFile() {
  if (fd_ >= 0) ::_close(fd_);
}

bool InputFile::Open(const fs::path& path) {
  // A folder does not open this way, so "cannot be read as a file" needs no check of its own here.
  // Standard input is read through a descriptor of its own, in binary mode whatever the console's is.
  if (path == L"-") {
    fd_ = ::_dup(::_fileno(stdin));
    if (fd_ >= 0) ::_setmode(fd_, _O_BINARY);
  } else {
    fd_ = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  }
  if (fd_ < 0) return false;
  struct _stat64 st {};
  if (::_fstat64(fd_, &st) != 0 || (st.st_mode & _S_IFMT) == _S_IFDIR) {
    ::_close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::size_t InputFile::ReadSome(std::uint8_t* dest, std::size_t size) {
  const int got = ::_read(fd_, dest, static_cast<unsigned>(size < kMaxChunk ? size : kMaxChunk));
  if (got < 0) failed_ = true;
  if (got > 0 && counter_ != nullptr) {
    counter_->fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
  }
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool InputFile::SeekTo(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return ::_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) >= 0;
}

ReportFile::~ReportFile() { Discard(); }

void ReportFile::Discard() {
  if (fd_ >= 0 && ownsFd_) ::_close(fd_);
  fd_ = -1;
  if (!temp_.empty()) {
    ::DeleteFileW(temp_.c_str());
    temp_.clear();
  }
}

bool ReportFile::Open(const fs::path& path) {
  if (path == "-") {
    // The report's own CR LF must reach standard output unchanged, not as CR CR LF.
    fd_ = ::_fileno(stdout);
    ::_setmode(fd_, _O_BINARY);
    return true;
  }
  target_ = path;
  if (IsDeviceOrPipe(path)) {
    // NUL, CON or a pipe: there is nothing to rename over, so it is written directly.
    fd_ = ::_wopen(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    ownsFd_ = fd_ >= 0;
    return fd_ >= 0;
  }
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    // A read-only report could not be opened for writing, and MoveFileExW would refuse to replace it.
    if (attributes & FILE_ATTRIBUTE_READONLY) return false;
    // Through a symbolic link the report replaces the file it points to, not the link.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      std::error_code ec;
      const fs::path resolved = fs::canonical(path, ec);
      if (!ec) target_ = resolved;
    }
  }

  const fs::path folder = target_.parent_path();
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / TemporaryName(target_.filename().native(), attempt);
    fd_ = ::_wopen(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
    if (fd_ >= 0) {
      ownsFd_ = true;
      temp_ = candidate;
      return true;
    }
    if (errno != EEXIST) return false;  // a missing folder, no permission, ...
  }
  return false;
}

bool ReportFile::Write(const char* data, std::size_t size) {
  while (size > 0 && !failed_) {
    const unsigned chunk = static_cast<unsigned>(size < kMaxChunk ? size : kMaxChunk);
    const int done = ::_write(fd_, data, chunk);
    if (done <= 0) {
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
    if (::_close(fd_) != 0) ok = false;
    fd_ = -1;
  }
  if (!temp_.empty()) {
    if (ok && ::MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      temp_.clear();
    } else {
      ok = false;
      Discard();
    }
  }
  return ok;
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
  // One file is one volume serial number and one file index, whatever names lead to it.
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const fs::path* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const HANDLE h = QueryHandle(*paths[i]);
    if (h == INVALID_HANDLE_VALUE) return false;
    const BOOL got = ::GetFileInformationByHandle(h, &info[i]);
    ::CloseHandle(h);
    if (!got) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace tavrin
