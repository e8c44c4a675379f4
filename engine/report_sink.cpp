// Field formatting and block buffering of the report writer.
#include "engine/report_sink.h"

#include <charconv>
#include <cstring>

namespace tavrin {

namespace {

// Pads `body` (already formatted, sign included) to the field width the way printf does.
char* Pad(char* out, const format_detail::Field& f, std::string_view sign, std::string_view digits) {
  const std::size_t length = sign.size() + digits.size();
  const std::size_t width = static_cast<std::size_t>(f.width);
  const std::size_t fill = width > length ? width - length : 0;
  if (f.leftAlign) {
    std::memcpy(out, sign.data(), sign.size());
    out += sign.size();
    std::memcpy(out, digits.data(), digits.size());
    out += digits.size();
    std::memset(out, ' ', fill);
    return out + fill;
  }
  if (f.zeroPad) {
    std::memcpy(out, sign.data(), sign.size());
    out += sign.size();
    std::memset(out, '0', fill);
    out += fill;
  } else {
    std::memset(out, ' ', fill);
    out += fill;
    std::memcpy(out, sign.data(), sign.size());
    out += sign.size();
  }
  std::memcpy(out, digits.data(), digits.size());
  return out + digits.size();
}

}  // namespace

ReportSink::ReportSink(ReportTarget& target)
    : target_(target), buffer_(new char[kBlockSize]), capacity_(kBlockSize) {}

char* ReportSink::Reserve(std::size_t bound) {
  if (capacity_ - used_ < bound) {
    Flush();
    if (capacity_ < bound) {
      // Only a field of unusual length gets here; the block grows once and stays.
      buffer_.reset(new char[bound]);
      capacity_ = bound;
    }
  }
  return buffer_.get() + used_;
}

char* ReportSink::CopyLiteral(char* out, const char* text, std::size_t size) {
  std::memcpy(out, text, size);
  return out + size;
}

void ReportSink::Append(std::string_view text) {
  char* out = Reserve(text.size());
  std::memcpy(out, text.data(), text.size());
  used_ += text.size();
}

bool ReportSink::Flush() {
  if (used_ > 0) {
    if (!failed_ && !target_.Write(buffer_.get(), used_)) failed_ = true;
    flushedBytes_ += used_;
    used_ = 0;
  }
  return !failed_;
}

char* ReportSink::EmitInt(char* out, const format_detail::Field& f, std::int32_t value) {
  char digits[10];
  char* end = digits + sizeof digits;
  char* p = end;
  // Negate in unsigned arithmetic so INT32_MIN needs no special case.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  return Pad(out, f, value < 0 ? "-" : "", std::string_view(p, static_cast<std::size_t>(end - p)));
}

char* ReportSink::EmitHex(char* out, const format_detail::Field& f, std::uint32_t value) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  char digits[8];
  char* end = digits + sizeof digits;
  char* p = end;
  do {
    *--p = kHexDigits[value & 15u];
    value >>= 4;
  } while (value != 0);
  return Pad(out, f, "", std::string_view(p, static_cast<std::size_t>(end - p)));
}

char* ReportSink::EmitText(char* out, const format_detail::Field& f, std::string_view text) {
  // printf's '0' flag does not apply to %s and %c.
  format_detail::Field plain = f;
  plain.zeroPad = false;
  return Pad(out, plain, "", text);
}

char* ReportSink::EmitDouble(char* out, const format_detail::Field& f, double value) {
  char text[340];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  std::string_view body(text, static_cast<std::size_t>(result.ptr - text));
  std::string_view sign;
  if (!body.empty() && body.front() == '-') {
    sign = body.substr(0, 1);
    body.remove_prefix(1);
  }
  format_detail::Field spec = f;
  if (body == "inf" || body == "nan") spec.zeroPad = false;
  return Pad(out, spec, sign, body);
}

}  // namespace tavrin
