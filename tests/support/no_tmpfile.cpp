// LD_PRELOAD shim: open(2) with O_TMPFILE fails with EOPNOTSUPP, as on NFS, vfat or FUSE; with
// TAVRIN_SLOW_WRITES set, every write(2) of a whole block waits 20 ms first, so a test can stop a
// conversion half way however fast the conversion has become.
#include <dlfcn.h>
#include <fcntl.h>

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

bool Refused(int flags) {
  if ((flags & O_TMPFILE) != O_TMPFILE) return false;
  errno = EOPNOTSUPP;
  return true;
}

mode_t ModeOf(int flags, va_list args) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

// Each of the four entry points reads the optional mode, refuses O_TMPFILE and passes the rest on.
#define TAVRIN_OPEN_SHIM(name, params, args)                                   \
  int name params {                                                            \
    va_list modeArgs;                                                          \
    va_start(modeArgs, flags);                                                 \
    const mode_t mode = ModeOf(flags, modeArgs);                               \
    va_end(modeArgs);                                                          \
    if (Refused(flags)) return -1;                                             \
    return Next<int (*) params>(#name) args;                                   \
  }

extern "C" {
TAVRIN_OPEN_SHIM(open, (const char* path, int flags, ...), (path, flags, mode))
TAVRIN_OPEN_SHIM(open64, (const char* path, int flags, ...), (path, flags, mode))
TAVRIN_OPEN_SHIM(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
TAVRIN_OPEN_SHIM(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

ssize_t write(int fd, const void* data, size_t size) {
  static const bool slow = std::getenv("TAVRIN_SLOW_WRITES") != nullptr;
  if (slow && size >= 65536) ::usleep(20000);
  return Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}
}  // extern "C"
