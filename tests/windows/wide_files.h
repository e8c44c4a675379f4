// Whole files read and written through the CRT's wide calls, so tests check disk contents without the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace tavrin::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::string bytes;
  if (std::FILE* f = ::_wfopen(path.c_str(), L"rb")) {
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, got);
    std::fclose(f);
  }
  return bytes;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* f = ::_wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace tavrin::testing
