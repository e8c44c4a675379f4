// The writer thread of ThreadedTarget: blocks change owners under one mutex, one queued, one being written.
#include "core/threaded_target.h"

#include <system_error>
#include <utility>

namespace tavrin {

ThreadedTarget::~ThreadedTarget() { Finish(); }

bool ThreadedTarget::Pass(const Job& job) {
  if (job.maker == nullptr) return inner_.Write(job.data, job.size);
  if (!whole_) whole_ = std::make_unique<ReportSink>(inner_);
  WriteWithPieces(*whole_, job.data, job.size, *job.pieces, *job.maker);
  return whole_->Flush();
}

// Writes on the caller's thread once the writer has nothing left; the order stays that of the calls.
bool ThreadedTarget::WriteHere(const Job& job) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return (queued_ == nullptr && !writing_) || failed_; });
  if (failed_ || closing_) return false;
  lock.unlock();
  const bool ok = Pass(job);
  lock.lock();
  if (!ok) failed_ = true;
  return ok;
}

bool ThreadedTarget::Write(const char* data, std::size_t size) {
  started_ = true;
  return WriteHere(Job{data, size, nullptr, nullptr});
}

bool ThreadedTarget::TakeBlock(std::unique_ptr<char[]>& block, std::size_t size) {
  return Queue(block, kReportBlockSize, size, nullptr, nullptr);
}

bool ThreadedTarget::TakeBlockWithPieces(std::unique_ptr<char[]>& block, std::size_t room, std::size_t size,
                                         std::vector<DeferredPiece>& pieces,
                                         const std::shared_ptr<PieceMaker>& maker) {
  return Queue(block, room, size, &pieces, &maker);
}

bool ThreadedTarget::Queue(std::unique_ptr<char[]>& block, std::size_t room, std::size_t size,
                           std::vector<DeferredPiece>* pieces, const std::shared_ptr<PieceMaker>* maker) {
  const auto writeHere = [&] {
    started_ = true;
    const bool ok = WriteHere(Job{block.get(), size, pieces, maker != nullptr ? maker->get() : nullptr});
    if (pieces != nullptr) pieces->clear();
    return ok;
  };
  // A block grown past the usual room stays with the sink: it is written here, as is the first.
  if (!started_ || direct_ || room != kReportBlockSize) return writeHere();
  std::unique_lock<std::mutex> lock(mutex_);
  if (failed_ || closing_) return false;
  if (!writer_.joinable()) {
    try {
      writer_ = std::thread([this] { WriteQueued(); });
    } catch (const std::system_error&) {
      // No thread to be had (a process limit): every block is written here, as without this target.
      direct_ = true;
      lock.unlock();
      return writeHere();
    }
  }
  changed_.wait(lock, [this] { return queued_ == nullptr || failed_; });
  if (failed_) return false;
  queued_ = std::move(block);
  queuedSize_ = size;
  block = free_ != nullptr ? std::move(free_) : std::make_unique_for_overwrite<char[]>(kReportBlockSize);
  if (pieces != nullptr) {
    std::swap(queuedPieces_, *pieces);
    std::swap(freePieces_, *pieces);
    pieces->clear();
    queuedMaker_ = *maker;
  }
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
    std::vector<DeferredPiece> pieces = std::move(queuedPieces_);
    queuedPieces_.clear();
    const std::shared_ptr<PieceMaker> maker = std::move(queuedMaker_);
    queuedMaker_.reset();
    const std::size_t size = queuedSize_;
    const bool skip = failed_;
    writing_ = true;
    changed_.notify_all();
    lock.unlock();
    const bool ok = skip || Pass(Job{block.get(), size, &pieces, maker.get()});
    lock.lock();
    writing_ = false;
    free_ = std::move(block);
    pieces.clear();
    freePieces_ = std::move(pieces);
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
