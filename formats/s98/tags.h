// The tag block (--tags): a version 3 "[S98]" block of key=value lines, or an older version's title, as
// UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/report_sink.h"
#include "formats/s98/s98.h"

namespace tavrin {

// A tag is read up to its closing NUL byte, the end of the file, or this many bytes.
inline constexpr std::size_t kMaxTagBytes = 1024 * 1024;

struct TagBlock {
  enum class Form : std::uint8_t {
    None,      // tagOffset is 0
    KeyValue,  // "[S98]", an optional UTF-8 byte-order mark, key=value lines ending in LF
    Title,     // versions 0 to 2: one NUL-terminated title
  };
  Form form = Form::None;
  bool utf8 = false;               // stored as UTF-8 (a byte-order mark after "[S98]"); else Shift-JIS
  std::vector<std::string> lines;  // UTF-8, in file order, without their line ends
  std::vector<std::string> notes;  // what could not be read as the format has it
};

// Reads the tag block `header.tagOffset` points to; moves `in`. Never fails: what cannot be read
// is shown as far as it goes, with a note.
TagBlock ReadTagBlock(ByteReader& in, const S98Header& header);

// The same from the block's bytes (up to, not including, its NUL). `terminated` says whether the NUL
// was found; `truncated` whether the block was cut at kMaxTagBytes.
TagBlock ParseTagBlock(std::span<const std::uint8_t> bytes, std::uint8_t version, bool terminated,
                       bool truncated);

// "[ S98 Tag ]" with a "Tag Format" line, the tag's lines and its notes, then a blank line.
void WriteTagSection(ReportSink& out, const TagBlock& tag);

// The format line's text: "[S98] key=value lines, UTF-8", "title (version 0 to 2), Shift-JIS", ...
std::string_view TagFormatText(const TagBlock& tag);

// Shift-JIS (Windows code page 932) to UTF-8; each byte that cannot be converted becomes U+FFFD and
// is counted in `replaced`.
std::string ShiftJisToUtf8(std::string_view text, std::size_t& replaced);

// The text with every byte that does not belong to a well-formed UTF-8 sequence replaced by U+FFFD
// (overlong forms, surrogates and code points above U+10FFFF included).
std::string ValidUtf8(std::string_view text, std::size_t& replaced);

}  // namespace tavrin
