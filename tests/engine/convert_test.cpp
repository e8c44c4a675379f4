// Every way a conversion can fail, with what it leaves on disk; an existing report always survives.
#include "engine/convert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/paths.h"
#include "tests/support/golden.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::S98Builder;

class ConvertFileTest : public testing::ScratchFolderTest {
 protected:
  // Everything in the folder besides the named files (temporary leftovers would show here).
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
};

std::string ValidFile() { return S98Builder().Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF0).Wait(1).End().BuildString(); }

struct FailureCase {
  const char* label;
  std::string bytes;
  bool skipVersionCheck;
  std::string_view status;
};

TEST_F(ConvertFileTest, RefusalsCreateNoReportAndKeepAnExistingOne) {
  const FailureCase cases[] = {
      {"ten bytes", std::string("S98300000\n"), false, kStatusFileReadError},
      {"31 bytes", ValidFile().substr(0, 31), false, kStatusFileReadError},
      {"lower-case magic", S98Builder().Magic("s98").BuildString(), false, kStatusNotS98},
      {"magic checked even with -f", S98Builder().Magic("S99").BuildString(), true, kStatusNotS98},
      {"version 4", S98Builder().Version('4').End().BuildString(), false, kStatusVersionError},
      {"version 0xFF", S98Builder().Version(0xFF).End().BuildString(), false, kStatusVersionError},
      {"65 devices", S98Builder().DeviceCount(65).End().BuildString(), false, kStatusTooManyDevices},
      {"0x7FFFFFFF devices", S98Builder().DeviceCount(0x7FFFFFFF).BuildString(), false, kStatusTooManyDevices},
      {"negative device count", S98Builder().DeviceCount(0xFFFFFFFF).BuildString(), false, kStatusTooManyDevices},
      {"device list cut short", S98Builder().Device(4, 7987200).DeviceCount(2).BuildString(), false,
       kStatusFileReadError},
      {"device record cut inside", S98Builder().Device(4, 7987200).BuildString().substr(0, 40), false,
       kStatusFileReadError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path input = Put("in.s98", c.bytes);
    const fs::path report = ReportPathFor(input);
    fs::remove(report);
    EXPECT_EQ(ConvertS98File(input, report, false, c.skipVersionCheck), c.status);
    EXPECT_FALSE(fs::exists(report));

    std::ofstream(report, std::ios::binary) << "previous report";
    EXPECT_EQ(ConvertS98File(input, report, true, c.skipVersionCheck), c.status);
    EXPECT_EQ(ReadWholeFile(report.string()), "previous report");
    EXPECT_EQ(EntryCount(), 2u);
  }
}

TEST_F(ConvertFileTest, InputThatCannotBeOpened) {
  const fs::path report = dir_ / "out.txt";
  EXPECT_EQ(ConvertS98File(dir_ / "missing.s98", report, false, false), kStatusFileOpenError);
  fs::create_directory(dir_ / "folder.s98");
  EXPECT_EQ(ConvertS98File(dir_ / "folder.s98", report, false, false), kStatusFileOpenError);
  EXPECT_FALSE(fs::exists(report));
}

TEST_F(ConvertFileTest, VersionCheckCanBeSkipped) {
  const fs::path input = Put("v4.s98", S98Builder().Version('4').End().BuildString());
  EXPECT_EQ(ConvertS98File(input, ReportPathFor(input), false, true), "");
  EXPECT_NE(ReadWholeFile(ReportPathFor(input).string()).find("Format Version = 4\r\n"), std::string::npos);
}

TEST_F(ConvertFileTest, SuccessReplacesTheReportAndLeavesNoTemporaryFile) {
  const fs::path input = Put("song.s98", ValidFile());
  const fs::path report = Put("song.txt", "previous report");
  EXPECT_EQ(ConvertS98File(input, report, false, false), "");
  std::string expected;
  ASSERT_EQ(ConvertS98Bytes(std::span(reinterpret_cast<const std::uint8_t*>(ValidFile().data()), ValidFile().size()),
                            "song.s98", {}, expected),
            "");
  EXPECT_EQ(ReadWholeFile(report.string()), expected);
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(ConvertFileTest, OutputThatCannotBeWrittenKeepsWhatWasThere) {
  const fs::path input = Put("song.s98", ValidFile());
  // A folder in the report's place stays a folder, contents and all.
  fs::create_directory(dir_ / "taken.txt");
  Put("taken.txt/inside", "keep");
  EXPECT_EQ(ConvertS98File(input, dir_ / "taken.txt", false, false), kStatusOutputOpenError);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.txt"));
  EXPECT_EQ(ReadWholeFile((dir_ / "taken.txt/inside").string()), "keep");
  // A folder that does not exist cannot take a report.
  EXPECT_EQ(ConvertS98File(input, dir_ / "nowhere" / "song.txt", false, false), kStatusOutputOpenError);
}

TEST_F(ConvertFileTest, WriteErrorsAreReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  const fs::path input = Put("song.s98", ValidFile());
  EXPECT_EQ(ConvertS98File(input, "/dev/full", true, false), kStatusWriteError);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));  // written to, never replaced
}

TEST_F(ConvertFileTest, ReportMayNotReplaceItsInput) {
  const std::string bytes = ValidFile();
  const fs::path txt = Put("song.txt", bytes);
  EXPECT_EQ(ConvertS98File(txt, ReportPathFor(txt), false, false), kStatusSameFile);
  EXPECT_EQ(ReadWholeFile(txt.string()), bytes);

  const fs::path input = Put("a.s98", bytes);
  fs::create_hard_link(input, dir_ / "link.txt");
  EXPECT_EQ(ConvertS98File(input, dir_ / "link.txt", false, false), kStatusSameFile);
#ifndef _WIN32  // std::filesystem makes no symbolic links on Windows
  fs::create_symlink(input, dir_ / "sym.txt");
  EXPECT_EQ(ConvertS98File(input, dir_ / "sym.txt", false, false), kStatusSameFile);
#endif
  EXPECT_EQ(ReadWholeFile(input.string()), bytes);
}

TEST_F(ConvertFileTest, ReportThroughASymbolicLinkReplacesItsTarget) {
#ifdef _WIN32
  GTEST_SKIP() << "std::filesystem makes no symbolic links on Windows";
#endif
  const fs::path input = Put("song.s98", ValidFile());
  const fs::path real = Put("real.txt", "old");
  fs::create_symlink(real, dir_ / "song.txt");
  EXPECT_EQ(ConvertS98File(input, dir_ / "song.txt", false, false), "");
  EXPECT_TRUE(fs::is_symlink(dir_ / "song.txt"));
  EXPECT_NE(ReadWholeFile(real.string()).find("[ Dump Data ]"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
