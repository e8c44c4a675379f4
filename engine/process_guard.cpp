// Standard descriptors kept open, and hidden temporary reports removed when a signal ends the program.
#include "engine/process_guard.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavrin {

namespace {

#ifndef PATH_MAX
constexpr std::size_t kPathBytes = 4096;
#else
constexpr std::size_t kPathBytes = PATH_MAX;  // the kernel takes no longer path, so none is ever needed
#endif
// One slot per conversion that may run at once (-j goes up to 1024), and a few for listings.
constexpr int kSlots = 1040;

enum SlotState : int { kFree, kFilling, kHeld, kRemoving };

// Touched only as far as slots are used: the paths cost memory only once a slot has been filled.
std::atomic<int> gSlotState[kSlots];
char gSlotPath[kSlots][kPathBytes];
bool gWasClosed[3];

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free slots");

#ifndef _WIN32
extern "C" void RemoveTemporaryReportsAndEnd(int signal) {
  for (int i = 0; i < kSlots; ++i) {
    int held = kHeld;
    // A slot taken here is never filled again: the process ends below.
    if (gSlotState[i].compare_exchange_strong(held, kRemoving)) {
      ::unlink(gSlotPath[i]);
    }
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
#endif

}  // namespace

void GuardStandardDescriptors() {
#ifndef _WIN32
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // open returns the lowest free descriptor, which is this one.
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null < 0) continue;
    if (null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
    gWasClosed[fd] = true;
  }
#endif
}

bool StandardDescriptorWasClosed(int fd) { return fd >= 0 && fd < 3 && gWasClosed[fd]; }

void RemoveTemporaryReportsOnSignals() {
#ifndef _WIN32
  // (Windows: the file layer there holds no names in these slots, so there is nothing to remove.)
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryReportsAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before {};
    if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
#endif
}

int HoldTemporaryName(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int free = kFree;
    if (!gSlotState[i].compare_exchange_strong(free, kFilling)) continue;
    std::memcpy(gSlotPath[i], path, length + 1);
    gSlotState[i].store(kHeld, std::memory_order_release);
    return i;
  }
  return -1;
}

void ReleaseTemporaryName(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  int held = kHeld;
  // Fails only while the handler removes it, and then the process is ending anyway.
  gSlotState[slot].compare_exchange_strong(held, kFree);
}

}  // namespace tavrin
