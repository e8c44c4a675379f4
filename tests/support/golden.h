// Compares a report byte for byte with its reviewed copy in tests/golden/; TAVRIN_UPDATE_GOLDEN=1 rewrites it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tavrin::testing {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Regenerating is an explicit step: run the test with TAVRIN_UPDATE_GOLDEN=1, then review the diff.
inline void ExpectMatchesGolden(const std::string& name, const std::string& report) {
  const std::string path = std::string(TAVRIN_SOURCE_DIR) + "/tests/golden/" + name;
  const char* update = std::getenv("TAVRIN_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << report;
    GTEST_SKIP() << "rewrote " << path << "; review it before committing";
  }
  std::ifstream probe(path, std::ios::binary);
  ASSERT_TRUE(probe.good()) << "missing golden file " << path;
  const std::string expected = ReadWholeFile(path);
  if (expected == report) return;
  // Point at the first differing line rather than dumping both files.
  std::istringstream a(expected), b(report);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ga = static_cast<bool>(std::getline(a, la));
    const bool gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb) break;
    if (la != lb || ga != gb) {
      ADD_FAILURE() << name << " differs at line " << line << "\n expected: " << (ga ? la : "<end>")
                    << "\n actual:   " << (gb ? lb : "<end>");
      return;
    }
  }
  ADD_FAILURE() << name << " differs (line ends or trailing bytes)";
}

}  // namespace tavrin::testing
