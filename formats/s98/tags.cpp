// Reading the tag block: where it ends, which encoding it uses, its lines as UTF-8, and notes on what is
// amiss.
#include "formats/s98/tags.h"

#include "core/utf8.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>
#include <cstring>

namespace tavrin {

namespace {

constexpr std::string_view kTagMagic = "[S98]";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Lines end at LF, CR LF or a CR alone (a CR left inside a line would end the report line for some
// readers and not for others). Empty lines carry nothing and are left out.
void SplitLines(std::string_view text, std::vector<std::string>& lines) {
  while (!text.empty()) {
    const auto end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crlf ? 2 : 1));
  }
}

std::string CountNote(std::size_t count, std::string_view encoding) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes") + " could not be read as " +
         std::string(encoding) + " and " + (count == 1 ? "is" : "are") + " shown as U+FFFD";
}

}  // namespace

std::string ValidUtf8(std::string_view text, std::size_t& replaced) {
  replaced = 0;
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    std::size_t consumed = 0;
    const std::size_t length = Utf8SequenceLength(text, consumed);
    if (length != 0) {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    } else {
      out.append(kReplacement);
      replaced += consumed;
      text.remove_prefix(consumed);
    }
  }
  return out;
}

#ifdef _WIN32

// Windows converts with its own code page 932 table, one character at a time, so that a byte that
// cannot be converted costs only itself.
std::string ShiftJisToUtf8(std::string_view text, std::size_t& replaced) {
  replaced = 0;
  std::string out;
  out.reserve(text.size() * 3);
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    const std::size_t length = ::IsDBCSLeadByteEx(932, lead) ? 2 : 1;
    wchar_t wide[2];
    const int count = i + length <= text.size()
                          ? ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data() + i,
                                                  static_cast<int>(length), wide, 2)
                          : 0;
    if (count != 1) {
      out.append(kReplacement);
      ++replaced;
      ++i;
      continue;
    }
    // Code page 932 maps into the basic multilingual plane only.
    AppendUtf8(out, static_cast<std::uint32_t>(wide[0]));
    i += length;
  }
  return out;
}

#else

std::string ShiftJisToUtf8(std::string_view text, std::size_t& replaced) {
  replaced = 0;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter only ASCII can be shown as it is.
    std::string out;
    for (char c : text) {
      if (static_cast<std::uint8_t>(c) < 0x80) {
        out.push_back(c);
      } else {
        out.append(kReplacement);
        ++replaced;
      }
    }
    return out;
  }
  // Every Shift-JIS byte or pair becomes at most three UTF-8 bytes, as does U+FFFD.
  std::string out(text.size() * 3, '\0');
  // iconv's input parameter is not const-qualified, but it never writes through it.
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;  // E2BIG cannot happen with the size above
    // A byte that starts no character, or a lead byte without its trail byte: one U+FFFD, go on.
    std::memcpy(outPtr, kReplacement.data(), kReplacement.size());
    outPtr += kReplacement.size();
    outLeft -= kReplacement.size();
    ++in;
    --inLeft;
    ++replaced;
  }
  iconv_close(cd);
  out.resize(static_cast<std::size_t>(outPtr - out.data()));
  return out;
}

#endif

TagBlock ParseTagBlock(std::span<const std::uint8_t> bytes, std::uint8_t version, bool terminated,
                       bool truncated) {
  TagBlock tag;
  std::string_view body(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // A block that starts with "[S98]" is read as one whatever the version says; versions 0 to 2 hold a title.
  const bool hasMagic = body.starts_with(kTagMagic);
  if (hasMagic || version >= '3') {
    tag.form = TagBlock::Form::KeyValue;
    if (hasMagic) {
      body.remove_prefix(kTagMagic.size());
    } else {
      tag.notes.emplace_back("the tag block does not start with \"[S98]\"; its lines are shown as they are");
    }
    if (body.starts_with(kByteOrderMark)) {
      tag.utf8 = true;
      body.remove_prefix(kByteOrderMark.size());
    }
  } else {
    tag.form = TagBlock::Form::Title;
  }
  std::size_t replaced = 0;
  const std::string text = tag.utf8 ? ValidUtf8(body, replaced) : ShiftJisToUtf8(body, replaced);
  SplitLines(text, tag.lines);
  if (replaced != 0) tag.notes.push_back(CountNote(replaced, tag.utf8 ? "UTF-8" : "Shift-JIS"));
  if (truncated) {
    tag.notes.push_back("the tag block is longer than " + std::to_string(kMaxTagBytes) +
                        " bytes; the rest is not shown");
  } else if (!terminated) {
    tag.notes.emplace_back("the tag block runs to the end of the file without its closing NUL byte");
  }
  return tag;
}

TagBlock ReadTagBlock(ByteReader& in, const S98Header& header) {
  if (header.tagOffset == 0) return {};
  // The offset is taken unsigned, so a negative one lies far past the end like any other.
  in.Seek(static_cast<std::uint32_t>(header.tagOffset));
  std::vector<std::uint8_t> bytes;
  bool terminated = false;
  bool truncated = false;
  for (int b = in.Next(); b >= 0; b = in.Next()) {
    if (b == 0) {
      terminated = true;
      break;
    }
    if (bytes.size() == kMaxTagBytes) {
      truncated = true;
      break;
    }
    bytes.push_back(static_cast<std::uint8_t>(b));
  }
  if (bytes.empty() && !terminated) {
    TagBlock tag;
    tag.form = header.version >= '3' ? TagBlock::Form::KeyValue : TagBlock::Form::Title;
    tag.notes.emplace_back("the tag offset lies at or past the end of the file");
    return tag;
  }
  return ParseTagBlock(bytes, header.version, terminated, truncated);
}

std::string_view TagFormatText(const TagBlock& tag) {
  switch (tag.form) {
    case TagBlock::Form::None:
      return "none";
    case TagBlock::Form::KeyValue:
      return tag.utf8 ? "[S98] key=value lines, UTF-8" : "[S98] key=value lines, Shift-JIS";
    case TagBlock::Form::Title:
      return "title (version 0 to 2), Shift-JIS";
  }
  return "none";
}

void WriteTagSection(ReportSink& out, const TagBlock& tag) {
  out.Print<"[ S98 Tag ]\r\n">();
  if (tag.form == TagBlock::Form::None) {
    out.Print<"(no tag)\r\n\r\n">();
    return;
  }
  out.Print<"Tag Format     = %s\r\n">(TagFormatText(tag));
  for (const std::string& line : tag.lines) out.Print<"%s\r\n">(line);
  for (const std::string& note : tag.notes) out.Print<"*** %s ***\r\n">(note);
  out.Print<"\r\n">();
}

}  // namespace tavrin
