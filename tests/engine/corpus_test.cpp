// Every real S98 file of the shared corpus converts with status ok, with and without annotation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/convert.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

TEST(CorpusTest, EveryFileConverts) {
  const fs::path corpus = TAVRIN_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "corpus folder " << corpus << " not present; skipping";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".s98") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (bool verbose : {false, true}) {
      std::string report;
      EXPECT_EQ(ConvertS98Bytes(bytes, entry.path().filename().string(), {.verbose = verbose}, report), "")
          << entry.path();
      EXPECT_NE(report.find("[ Dump Data ]\r\n"), std::string::npos);
      EXPECT_TRUE(report.ends_with("\r\n"));
    }
    ++files;
  }
  EXPECT_GT(files, 0) << "corpus folder holds no .s98 file";
  std::printf("converted %d corpus files\n", files);
}

}  // namespace
}  // namespace tavrin
