// The report-path and name-part rules on the platform's own path characters.
#include "engine/paths.h"

#include "core/utf8.h"

#include <algorithm>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tavrin {

namespace {

using Char = std::filesystem::path::value_type;
using String = std::filesystem::path::string_type;

constexpr bool IsSeparator(Char c) {
#ifdef _WIN32
  return c == L'\\' || c == L'/' || c == L':';
#else
  return c == '/';
#endif
}

}  // namespace

std::size_t Utf8SequenceLengthAt(std::string_view s, std::size_t i) {
  std::size_t consumed = 0;
  return i < s.size() ? Utf8SequenceLength(s.substr(i), consumed) : 0;
}

namespace {

void AppendByteEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace

std::string PrintableName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    const std::size_t length = Utf8SequenceLengthAt(name, i);
    const bool c1Control = length == 2 && c == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0;
    if (length == 0 || c1Control) {
      for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
        AppendByteEscape(out, static_cast<unsigned char>(name[i + k]));
      }
      i += std::max<std::size_t>(length, 1);
      continue;
    }
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      AppendByteEscape(out, c);
#ifndef _WIN32
    } else if (c == '\\') {
      out += "\\\\";
#endif
    } else {
      out.append(name, i, length);
    }
    i += length;
  }
  return out;
}

std::filesystem::path ReportPathFor(const std::filesystem::path& input) {
  const String& s = input.native();
  for (std::size_t i = s.size(); i-- > 0;) {
    if (s[i] == Char('.')) return String(s, 0, i) + String{Char('.'), Char('t'), Char('x'), Char('t')};
    if (IsSeparator(s[i])) break;
  }
  return s + String{Char('.'), Char('t'), Char('x'), Char('t')};
}

String FileNamePart(const std::filesystem::path& input) {
  const String& s = input.native();
  for (std::size_t i = s.size(); i-- > 0;) {
    if (IsSeparator(s[i])) return String(s, i + 1);
  }
  return s;
}

std::string HeaderFileName(const std::filesystem::path& input) {
#ifdef _WIN32
  // The report is 8-bit text: the name goes out in the system's code page, as other programs of the
  // system would write it; characters the code page lacks come out as its default character ('?').
  const String name = FileNamePart(input);
  if (name.empty()) return {};
  const int length = static_cast<int>(name.size());
  const int size = ::WideCharToMultiByte(CP_ACP, 0, name.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, name.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
#else
  return FileNamePart(input);
#endif
}

std::filesystem::path PathFromArgument(const std::string& argument) {
#ifdef _WIN32
  // Built from the UTF-16 command line, so it spells every name; a plain narrow-string path would
  // read it in the C locale instead and garble whatever is not ASCII.
  if (argument.empty()) return {};
  const int length = static_cast<int>(argument.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, argument.data(), length, nullptr, 0);
  String wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, argument.data(), length, wide.data(), size);
  return std::filesystem::path(std::move(wide));
#else
  return std::filesystem::path(argument);
#endif
}

std::filesystem::path ReportPathWithExtension(const std::filesystem::path& input, std::string_view extension) {
  // The report's path always ends in ".txt"; only that ending changes.
  std::filesystem::path::string_type text = ReportPathFor(input).native();
  text.resize(text.size() - std::filesystem::path(".txt").native().size());
  text += std::filesystem::path(extension).native();
  return text;
}

std::filesystem::path JsonLinesPathFor(const std::filesystem::path& input) {
  return ReportPathWithExtension(input, ".jsonl");
}

}  // namespace tavrin
