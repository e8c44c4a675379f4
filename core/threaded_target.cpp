// The writer thread of ThreadedTarget: blocks change owners under one mutex, one queued, one being written.
#include "core/threaded_target.h"

#include <system_error>
#include <utility>

namespace tavrin {

ThreadedTarget::~ThreadedTarget() { Finish(); }

// Writes on the caller's thread once the writer has nothing left; the order stays that of the calls.
bool ThreadedTarget::WriteHere(const char* data, std::size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return (queued_ == nullptr && !writing_) || failed_; });
  if (failed_ || closing_) return false;
  lock.unlock();
  const bool ok = inner_.Write(data, size);
  lock.lock();
  if (!ok) failed_ = true;
  return ok;
}

bool ThreadedTarget::Write(const char* data, std::size_t size) {
  started_ = true;
  return WriteHere(data, size);
}

bool ThreadedTarget::TakeBlock(std::unique_ptr<char[]>& block, std::size_t size) {
  if (!started_ || direct_) {
    started_ = true;
    return WriteHere(block.get(), size);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (failed_ || closing_) return false;
  if (!writer_.joinable()) {
    try {
      writer_ = std::thread([this] { WriteQueued(); });
    } catch (const std::system_error&) {
      // No thread to be had (a process limit): every block is written here, as without this target.
      direct_ = true;
      lock.unlock();
      return WriteHere(block.get(), size);
    }
  }
  changed_.wait(lock, [this] { return queued_ == nullptr || failed_; });
  if (failed_) return false;
  queued_ = std::move(block);
  queuedSize_ = size;
  block = free_ != nullptr ? std::move(free_) : std::make_unique_for_overwrite<char[]>(kReportBlockSize);
  changed_.notify_all();
  return true;
}

void ThreadedTarget::WriteQueued() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return queued_ != nullptr || closing_; });
    if (queued_ == nullptr) return;  // closing, nothing left
    // The sink fills another block while this one is written.
    std::unique_ptr<char[]> block = std::move(queued_);
    const std::size_t size = queuedSize_;
    const bool skip = failed_;
    writing_ = true;
    changed_.notify_all();
    lock.unlock();
    const bool ok = skip || inner_.Write(block.get(), size);
    lock.lock();
    writing_ = false;
    free_ = std::move(block);
    if (!ok) failed_ = true;
    changed_.notify_all();
  }
}

bool ThreadedTarget::Finish() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
  const std::lock_guard<std::mutex> lock(mutex_);
  return !failed_;
}

}  // namespace tavrin
