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
// It takes a sink's deferred pieces with their block and makes their text on the writer thread, so
// that work leaves the formatter too; the text goes to `inner` through a sink of its own.
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
  bool TakesPieces() const override { return true; }
  bool TakeBlockWithPieces(std::unique_ptr<char[]>& block, std::size_t room, std::size_t size,
                           std::vector<DeferredPiece>& pieces, const std::shared_ptr<PieceMaker>& maker) override;
  // Waits until the writer is done; false if any write failed. Nothing may be written afterwards.
  bool Finish();

 private:
  // A block and its pieces (none: `maker` null), as they are queued.
  struct Job {
    const char* data;
    std::size_t size;
    const std::vector<DeferredPiece>* pieces;
    PieceMaker* maker;
  };
  bool WriteHere(const Job& job);
  // Queues a block of `room` bytes for the writer, or writes it here (the first, a grown one, no thread).
  bool Queue(std::unique_ptr<char[]>& block, std::size_t room, std::size_t size, std::vector<DeferredPiece>* pieces,
             const std::shared_ptr<PieceMaker>* maker);
  // Writes one block to inner_, its pieces made; on one thread at a time.
  bool Pass(const Job& job);
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
  std::vector<DeferredPiece> queuedPieces_;
  std::shared_ptr<PieceMaker> queuedMaker_;
  std::vector<DeferredPiece> freePieces_;  // emptied, its room kept for the sink
  bool writing_ = false;
  bool closing_ = false;
  bool failed_ = false;
  // Used by Pass only:
  std::unique_ptr<ReportSink> whole_;  // the text of blocks with pieces, on its way to inner_
};

}  // namespace tavrin
