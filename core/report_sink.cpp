// Block buffering of the report writer, and the one conversion that is not worth inlining (%f).
#include "core/report_sink.h"

#include <charconv>
#include <cstring>

namespace tavrin {

bool ReportTarget::TakeBlockWithPieces(std::unique_ptr<char[]>& block, std::size_t /*room*/, std::size_t size,
                                       std::vector<DeferredPiece>& pieces, const std::shared_ptr<PieceMaker>& maker) {
  ReportSink whole(*this);
  WriteWithPieces(whole, block.get(), size, pieces, *maker);
  pieces.clear();
  return whole.Flush();
}

void WriteWithPieces(ReportSink& out, const char* block, std::size_t size, const std::vector<DeferredPiece>& pieces,
                     PieceMaker& maker) {
  std::size_t from = 0;
  for (const DeferredPiece& piece : pieces) {
    out.Append(std::string_view(block + from, piece.at - from));
    maker.Make(out, piece);
    from = piece.at;
  }
  out.Append(std::string_view(block + from, size - from));
}

ReportSink::ReportSink(ReportTarget& target, std::size_t blockSize)
    : target_(target),
      buffer_(new char[blockSize]),
      cursor_(buffer_.get()),
      end_(buffer_.get() + blockSize),
      defers_(target.TakesPieces()) {}

void ReportSink::DeferTo(const std::shared_ptr<PieceMaker>& maker) {
  if (!pieces_.empty()) Flush();
  maker_ = maker;
}

void ReportSink::MakeRoom(std::size_t bound) {
  Flush();
  if (static_cast<std::size_t>(end_ - buffer_.get()) < bound) {
    // Only a field of unusual length gets here; the block grows once and stays.
    buffer_.reset(new char[bound]);
    cursor_ = buffer_.get();
    end_ = buffer_.get() + bound;
  }
}

void ReportSink::Append(std::string_view text) {
  char* out = Reserve(text.size());
  std::memcpy(out, text.data(), text.size());
  cursor_ = out + text.size();
}

bool ReportSink::Flush() {
  const std::size_t used = Used();
  if (used > 0 || !pieces_.empty()) {
    const auto room = static_cast<std::size_t>(end_ - buffer_.get());
    if (!failed_) {
      // A block grown past the usual room cannot be swapped for a usual one; it is copied.
      const bool ok = !pieces_.empty() ? target_.TakeBlockWithPieces(buffer_, room, used, pieces_, maker_)
                      : room == kBlockSize ? target_.TakeBlock(buffer_, used)
                                           : target_.Write(buffer_.get(), used);
      if (!ok) failed_ = true;
    }
    pieces_.clear();
    flushedBytes_ += used;
    cursor_ = buffer_.get();
    end_ = cursor_ + room;
  }
  return !failed_;
}

char* ReportSink::EmitDouble(char* out, const format_detail::Field& f, double value) {
  char text[340];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  std::string_view body(text, static_cast<std::size_t>(result.ptr - text));
  const bool negative = !body.empty() && body.front() == '-';
  if (negative) body.remove_prefix(1);
  const bool special = body == "inf" || body == "nan";
  const std::size_t length = body.size() + (negative ? 1 : 0);
  const std::size_t width = static_cast<std::size_t>(f.width);
  std::size_t fill = width > length ? width - length : 0;
  if (!f.leftAlign && (!f.zeroPad || special)) {
    std::memset(out, ' ', fill);
    out += fill;
    fill = 0;
  }
  if (negative) *out++ = '-';
  if (!f.leftAlign) {
    std::memset(out, '0', fill);
    out += fill;
    fill = 0;
  }
  std::memcpy(out, body.data(), body.size());
  out += body.size();
  std::memset(out, ' ', fill);
  return out + fill;
}

}  // namespace tavrin
