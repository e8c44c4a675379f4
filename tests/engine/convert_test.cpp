// Every way a conversion can fail, with what it leaves on disk; an existing report always survives.
#include "engine/convert.h"

#include <gtest/gtest.h>

#include <algorithm>  // std::count
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/paths.h"
#include "report/selection.h"
#include "tests/support/golden.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::ReadWholeFile;
using testing::S98Builder;
using testing::VgmBuilder;

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

// One chip of a pair: its S98 device type, its VGM clock field and write commands, and writes that set
// a voice, key a note (after the loop point) and release it.
struct PairChip {
  std::uint32_t type;
  std::uint8_t clockField;
  std::uint32_t clock;
  std::uint8_t port0, port1;  // VGM write commands; DCSG's takes the value alone
  std::vector<std::array<std::uint8_t, 3>> voice, keyOn, keyOff;  // port, register, value
};

const PairChip kOpn2{3, 0x2C, 7670453, 0x52, 0x53,
                     {{0, 0xB0, 0x3C}, {0, 0xB4, 0xC0}, {0, 0x30, 0x01}, {0, 0x34, 0x02}, {0, 0x38, 0x03},
                      {0, 0x3C, 0x04}, {0, 0x40, 0x20}, {0, 0x44, 0x10}, {0, 0x48, 0x08}, {0, 0x4C, 0x00},
                      {0, 0x50, 0x1F}, {0, 0x54, 0x1F}, {0, 0x58, 0x1F}, {0, 0x5C, 0x1F}, {0, 0x80, 0x0F},
                      {0, 0x84, 0x0F}, {0, 0x88, 0x0F}, {0, 0x8C, 0x0F}, {1, 0xB0, 0x07}, {1, 0x40, 0x10}},
                     {{0, 0xA4, 0x22}, {0, 0xA0, 0x69}, {0, 0x28, 0xF0}, {1, 0xA4, 0x1A}, {1, 0xA0, 0x40},
                      {0, 0x28, 0xF4}},
                     {{0, 0x28, 0x00}, {0, 0x28, 0x04}}};
const PairChip kOpm{5, 0x30, 3579545, 0x54, 0x54,
                    {{0, 0x20, 0xC5}, {0, 0x40, 0x01}, {0, 0x60, 0x18}, {0, 0x68, 0x00}, {0, 0x70, 0x10},
                     {0, 0x78, 0x00}, {0, 0x80, 0x1F}, {0, 0x88, 0x1F}, {0, 0x90, 0x1F}, {0, 0x98, 0x1F}},
                    {{0, 0x28, 0x4A}, {0, 0x08, 0x78}, {0, 0x28, 0x4C}},
                    {{0, 0x08, 0x00}}};
const PairChip kOpl2{8, 0x50, 3579545, 0x5A, 0x5A,
                     {{0, 0x20, 0x21}, {0, 0x23, 0x01}, {0, 0x40, 0x10}, {0, 0x43, 0x00}, {0, 0x60, 0xF2},
                      {0, 0x63, 0xF2}, {0, 0x80, 0x77}, {0, 0x83, 0x77}, {0, 0xC0, 0x06}},
                     {{0, 0xA0, 0x41}, {0, 0xB0, 0x32}, {0, 0xA0, 0x58}},
                     {{0, 0xB0, 0x12}}};
const PairChip kOpll{6, 0x10, 3579545, 0x51, 0x51, {{0, 0x30, 0x30}}, {{0, 0x10, 0xAC}, {0, 0x20, 0x18}},
                     {{0, 0x20, 0x08}}};
const PairChip kPsg{15, 0x74, 1789772, 0xA0, 0xA0, {{0, 0x07, 0x3E}, {0, 0x00, 0xFE}},
                    {{0, 0x08, 0x0F}, {0, 0x00, 0xF0}}, {{0, 0x08, 0x00}}};
const PairChip kDcsg{16, 0x0C, 3579545, 0x50, 0x50, {{0, 0, 0x8E}, {0, 0, 0x0F}}, {{0, 0, 0x90}, {0, 0, 0x84}},
                     {{0, 0, 0x9F}}};

// What a pair of files of the same music (S98 at 44,100 ticks a second, VGM, VGZ) leaves behind under
// `options`: the voice files, the MIDI file and the piano roll, by name, and the MIDI log lines.
std::vector<std::pair<std::string, std::string>> MusicOutputs(const fs::path& input, const ConversionOptions& options,
                                                              const fs::path& out) {
  std::vector<std::pair<std::string, std::string>> files;
  fs::create_directories(out);
  std::vector<std::string> written;
  const std::string voices = WriteS98VoiceFiles(input, out, options, written);
  files.emplace_back("voices status", voices);
  std::string summary;
  for (const auto& [kind, name] : {std::pair{MusicFile::Midi, "song.mid"}, std::pair{MusicFile::Roll, "song.svg"}}) {
    const std::string status = WriteS98Music(input, out / name, kind, options, 50.0, summary);
    files.emplace_back(std::string(name) + " status", status);
    written.push_back(name);
  }
  files.emplace_back("summary", summary);
  for (const std::string& name : written) files.emplace_back(name, ReadWholeFile((out / name).string()));
  return files;
}

TEST_F(ConvertFileTest, VgmGivesTheVoicesMidiAndRollOfTheSameS98) {
  struct Case {
    const char* label;
    std::vector<PairChip> chips;
    std::size_t voiceFiles;  // besides the .mid and .svg
  };
  const Case cases[] = {
      {"OPN2 on both ports: .tfi, .opm, .mml", {kOpn2}, 4},
      {"OPM", {kOpm}, 2},
      {"OPL2: .sbi", {kOpl2}, 1},
      {"OPLL preset, no patch file", {kOpll}, 0},
      {"PSG", {kPsg}, 0},
      {"DCSG", {kDcsg}, 0},
      {"six chips, numbered in the VGM head's order", {kDcsg, kOpll, kOpn2, kOpm, kOpl2, kPsg}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    S98Builder s98;
    s98.Timer(1, 44100);
    VgmBuilder vgm;
    const auto write = [&](std::size_t d, const std::array<std::uint8_t, 3>& w) {
      const PairChip& chip = c.chips[d];
      s98.Write(static_cast<int>(d), w[0], w[1], w[2]);
      if (chip.type == 16) {
        vgm.Command({chip.port0, w[2]});
      } else {
        vgm.Command({w[0] != 0 ? chip.port1 : chip.port0, w[1], w[2]});
      }
    };
    const auto each = [&](auto part) {
      for (std::size_t d = 0; d < c.chips.size(); ++d) {
        for (const auto& w : c.chips[d].*part) write(d, w);
        s98.Wait(300);
        vgm.Wait(300);
      }
    };
    for (const PairChip& chip : c.chips) {
      s98.Device(chip.type, chip.clock);
      vgm.Clock(chip.clockField, chip.clock);
    }
    each(&PairChip::voice);
    s98.LoopHere();
    vgm.LoopHere();
    each(&PairChip::keyOn);
    s98.Wait(44100);
    vgm.Wait(44100);
    each(&PairChip::keyOff);
    s98.End().Tag("[S98]title=Pair\n"s + '\0');
    vgm.End().Gd3({"Pair", "\xe3\x83\x9a\xe3\x82\xa2", "Game"});
    const fs::path s98Path = Put("song.s98", s98.Build());
    fs::create_directories(dir_ / "vgm");
    fs::create_directories(dir_ / "vgz");
    const fs::path vgmPath = Put("vgm/song.vgm", vgm.Build());
    const fs::path vgzPath = Put("vgz/song.vgz", vgm.BuildGzip());
    DumpSelection window;
    window.from = ParseDumpPoint("100t");
    window.to = ParseDumpPoint("0.5");
    for (const ConversionOptions& options : {ConversionOptions{}, ConversionOptions{.selection = window}}) {
      const auto expected = MusicOutputs(s98Path, options, dir_ / "out-s98");
      ASSERT_EQ(expected.size(), 4 + 2 + c.voiceFiles);
      for (const auto& [name, bytes] : expected) {
        if (name.ends_with("status")) {
          EXPECT_EQ(bytes, "") << name;
        }
      }
      // Every chip played.
      EXPECT_GE(std::count(expected[3].second.begin(), expected[3].second.end(), '\n'), c.chips.size());
      EXPECT_NE(expected.back().second.find(">Pair<"), std::string::npos) << "the roll's heading";
      for (const fs::path& input : {vgmPath, vgzPath}) {
        const auto got = MusicOutputs(input, options, dir_ / ("out-" + input.extension().string().substr(1)));
        ASSERT_EQ(got.size(), expected.size()) << input;
        for (std::size_t i = 0; i < got.size(); ++i) {
          EXPECT_EQ(got[i].first, expected[i].first) << input;
          EXPECT_EQ(got[i].second, expected[i].second) << input << ": " << got[i].first;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tavrin
