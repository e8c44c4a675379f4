// The report-path and name-part rules on the platform's own path characters.
#include "engine/paths.h"

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
  // Conversion to the 8-bit code page comes with the Windows build; until then the portable spelling.
  return std::filesystem::path(FileNamePart(input)).string();
#else
  return FileNamePart(input);
#endif
}

}  // namespace tavrin
