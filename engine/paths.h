// Path rules shared by the window and the command line: the report's path and the name part.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin {

// The input path with its extension replaced by ".txt": the last character that is a dot or a
// separator decides; a dot is cut off with what follows it, otherwise ".txt" is appended.
// Separators are '/' on POSIX and '\\', '/' and ':' on Windows.
std::filesystem::path ReportPathFor(const std::filesystem::path& input);

// Where --json writes beside the input: the report's path with ".jsonl" for ".txt" (song.s98 -> song.jsonl).
std::filesystem::path JsonLinesPathFor(const std::filesystem::path& input);

// The report's path with another extension for ".txt" (".mid" for --midi, ".svg" for --roll).
std::filesystem::path ReportPathWithExtension(const std::filesystem::path& input, std::string_view extension);

// The part of the path after its last separator (the whole path if it has none).
std::filesystem::path::string_type FileNamePart(const std::filesystem::path& input);

// The name part as the report's header shows it: the bytes of the name on POSIX; on Windows the
// UTF-16 name converted to the system's 8-bit code page.
std::string HeaderFileName(const std::filesystem::path& input);

// A file named on the command line: its bytes as they are on POSIX; on Windows UTF-8 text (the
// command line arrives as UTF-16 and is handed on as UTF-8), so names outside the code page survive.
std::filesystem::path PathFromArgument(const std::string& argument);

// Length of the well-formed UTF-8 sequence at s[i] (1 to 4), or 0 when the byte there begins none.
std::size_t Utf8SequenceLengthAt(std::string_view s, std::size_t i);

// A name as a terminal log shows it: control characters (C0, DEL, C1) and bytes that are not UTF-8
// become \n, \r, \t or \xHH, so a name can neither break a line nor send a control sequence; on
// POSIX a backslash doubles, so every escape reads one way. Every other character is kept.
std::string PrintableName(std::string_view name);

}  // namespace tavrin
