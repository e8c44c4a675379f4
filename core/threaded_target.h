// A report target that writes on a thread of its own, so the next block is formatted while the last is written.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "core/report_sink.h"

namespace tavrin {

// Hands each full block of a ReportSink to a writer thread that passes it on to `inner`, in order, while
// the sink fills another. Blocks change owners rather than being copied: one is filled, one waits, one
// is written; a sink with a full block waits for room. The first block is written at once, on the
// caller's thread, so a report of one block (most files) starts no thread at all. Blocks of another
// size (Write) are written on the caller's thread once the writer is idle, keeping the order.
//
// Write and TakeBlock report a failure once the writer has met it; Finish waits for everything queued
// and reports whether every write succeeded. After a failure the blocks that follow are dropped.
class ThreadedTarget final : public ReportTarget {
 public:
  explicit ThreadedTarget(ReportTarget& inner) : inner_(inner) {}
  ThreadedTarget(const ThreadedTarget&) = delete;
  ThreadedTarget& operator=(const ThreadedTarget&) = delete;
  ~ThreadedTarget() override;  // finishes

  bool Write(const char* data, std::size_t size) override;
  bool TakeBlock(std::unique_ptr<char[]>& block, std::size_t size) override;
  // Waits until the writer is done; false if any write failed. Nothing may be written afterwards.
  bool Finish();

 private:
  bool WriteHere(const char* data, std::size_t size);
  void WriteQueued();

  ReportTarget& inner_;
  bool started_ = false;  // something has been written
  bool direct_ = false;   // no writer thread could be started
  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::unique_ptr<char[]> queued_;  // the block waiting for the writer
  std::size_t queuedSize_ = 0;
  std::unique_ptr<char[]> free_;  // a written block, ready to be handed back to the sink
  bool writing_ = false;
  bool closing_ = false;
  bool failed_ = false;
};

}  // namespace tavrin
