// Shared helpers of the report-option tests: converting bytes in memory, cutting a report into its sections.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/convert.h"

namespace tavrin::testing {

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The report of `bytes`, failing the test on a status.
inline std::string Convert(const std::vector<std::uint8_t>& bytes, const ConversionOptions& options,
                           std::string_view name = "t.s98") {
  std::string report;
  const std::string status = ConvertS98Bytes(bytes, name, options, report);
  EXPECT_EQ(status, "");
  return report;
}

// Lines split at `end` ("\r\n" for reports, "\n" for JSON Lines), without their ends.
inline std::vector<std::string> SplitLines(std::string_view text, std::string_view end = "\r\n") {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto at = text.find(end);
    lines.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + end.size());
  }
  return lines;
}

// The text between "[ Dump Data ]\r\n" and the end of the dump section (the report's end, or the
// blank line before "[ Statistics ]").
inline std::string DumpSection(const std::string& report) {
  const std::string head = "[ Dump Data ]\r\n";
  const auto start = report.find(head);
  if (start == std::string::npos) return {};
  const auto from = start + head.size();
  const auto stats = report.find("\r\n[ Statistics ]\r\n", from);
  return report.substr(from, stats == std::string::npos ? std::string::npos : stats - from);
}

// Everything up to and including "[ Dump Data ]\r\n".
inline std::string HeadPart(const std::string& report) {
  const std::string head = "[ Dump Data ]\r\n";
  return report.substr(0, report.find(head) + head.size());
}

// The text of one "[ NAME ]" section, from its heading to the blank line that ends it, that line
// included (or to the end of the report).
inline std::string Section(const std::string& report, std::string_view name) {
  const std::string heading = "[ " + std::string(name) + " ]\r\n";
  const auto start = report.find(heading);
  if (start == std::string::npos) return {};
  const auto end = report.find("\r\n\r\n", start);
  return report.substr(start, end == std::string::npos ? std::string::npos : end + 4 - start);
}

}  // namespace tavrin::testing
