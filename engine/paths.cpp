// The report-path and name-part rules on the platform's own path characters.
#include "engine/paths.h"

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
