// LD_PRELOAD shim: open(2) with O_TMPFILE fails with EOPNOTSUPP, as on NFS, vfat or FUSE.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

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
}  // extern "C"
