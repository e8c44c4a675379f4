// --state-at and the loop check: snapshots against a direct replay of the writes, a reviewed multi-chip
// section, and loops that do and do not bring the chips back.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "chips/dispatch.h"
#include "core/byte_reader.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/s98.h"
#include "report/check.h"
#include "tests/support/golden.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using nlohmann::json;
using testing::Convert;
using testing::S98Builder;
using testing::SplitLines;

StatePoint Point(const std::string& text) { return *ParseStatePoint(text); }

ConversionOptions StateOptions(const std::vector<std::string>& at, ReportFormat format = ReportFormat::Text) {
  ConversionOptions options;
  for (const std::string& text : at) options.stateAt.push_back(Point(text));
  options.stateOnly = true;
  options.format = format;
  return options;
}

// Five chips, each set up before the loop and changed after it.
S98Builder MultiChip() {
  S98Builder b;
  b.Device(4, 7987200, 0x03).Device(5, 3579545, 0x03).Device(16, 3579545).Device(9, 14318180, 0x03).Device(6, 3579545);
  b.Write(0, 0, 0xB4, 0xC0).Write(0, 0, 0xB0, 0x32).Write(0, 0, 0x40, 0x1C).Write(0, 0, 0x50, 0x1F);
  b.Write(0, 0, 0xA4, 0x22).Write(0, 0, 0xA0, 0x69).Write(0, 0, 0x07, 0x3E).Write(0, 0, 0x00, 0xFE);
  b.Write(0, 0, 0x08, 0x0C).Write(0, 0, 0x18, 0xDF).Write(0, 1, 0x0B, 0x80);
  b.Write(1, 0, 0x20, 0xC7).Write(1, 0, 0x28, 0x4A).Write(1, 0, 0x60, 0x10);
  b.Write(2, 0, 0x00, 0x8E).Write(2, 0, 0x00, 0x0F).Write(2, 0, 0x00, 0x92).Write(2, 0, 0x00, 0xE5);
  b.Write(3, 1, 0x05, 0x01).Write(3, 1, 0x04, 0x01).Write(3, 0, 0xA0, 0x41).Write(3, 0, 0xC0, 0x31);
  b.Write(4, 0, 0x30, 0x35).Write(4, 0, 0x10, 0x20).Write(4, 0, 0x03, 0x1F).Write(4, 0, 0x0E, 0x20);
  b.LoopHere().Write(0, 0, 0x28, 0xF0).Write(1, 0, 0x08, 0x78).Write(3, 0, 0xB0, 0x2D).Write(4, 0, 0x20, 0x1D);
  b.Wait(25).Write(4, 0, 0x0E, 0x30).Wait(3).End();
  return b;
}

TEST(StateReport, MultiChipSectionMatchesReviewedCopy) {
  const std::string report = Convert(MultiChip().Build(), StateOptions({"loop", "0.1", "end"}));
  EXPECT_EQ(report.find("[ Dump Data ]"), std::string::npos);
  testing::ExpectMatchesGolden("state.txt", report.substr(report.find("\r\n[ Chip State")));
}

TEST(StateReport, PlacesAndOptions) {
  const auto bytes = MultiChip().Build();
  // Past the last command: the state at the end, said so.
  const std::string past = Convert(bytes, StateOptions({"99t"}));
  EXPECT_NE(past.find("(tick 28, "), std::string::npos) << past;
  EXPECT_NE(past.find("At             = 99t (past the last command: the state at the end)"), std::string::npos);
  // A loop the file does not have.
  const std::string noLoop = Convert(S98Builder().Device(4, 7987200).Wait(1).End().Build(), StateOptions({"loop"}));
  EXPECT_NE(noLoop.find("the file has no loop point"), std::string::npos) << noLoop;
  // Without --state-only the dump stays, and the snapshot follows it.
  ConversionOptions withDump = StateOptions({"end"});
  withDump.stateOnly = false;
  const std::string both = Convert(bytes, withDump);
  EXPECT_LT(both.find("[ Dump Data ]"), both.find("[ Chip State at"));
  // A time needs a timer, as --from does.
  std::string report;
  const auto zeroTimer = S98Builder().Timer(0xFFFFFFFF, 1000).Device(4, 7987200).Wait(1).End().Build();
  EXPECT_EQ(ConvertS98Bytes(zeroTimer, "t.s98", StateOptions({"1.5"}), report), std::string(kStatusTimeNeedsTimer));
  EXPECT_EQ(ConvertS98Bytes(zeroTimer, "t.s98", StateOptions({"1t"}), report), "");
  // JSON with --state-only: the head and the snapshots, no command objects.
  const auto lines = SplitLines(Convert(bytes, StateOptions({"loop"}, ReportFormat::JsonLines)), "\n");
  ASSERT_EQ(lines.size(), 2u);
  const json state = json::parse(lines[1]);
  EXPECT_EQ(state["type"], "state");
  EXPECT_EQ(state["devices"][0]["name"], "OPNA(YM2608)");
  EXPECT_EQ(state["devices"][0]["channels"][0]["F-NUM"], 0x269);
  EXPECT_EQ(state["devices"][0]["channels"][0]["NOTE"], "C4-3c");
}

// The register image each snapshot reports, rebuilt from the commands before its offset.
struct Replay {
  std::uint64_t ticks = 0;  // before the command at the snapshot's offset
  std::uint64_t ticksBeforeAt = 0;
  std::uint64_t ticksBeforePrevious = 0;
  bool found = false;
  std::map<int, json> images;  // per device: [bank][register] value or null
};

Replay ReplayUpTo(const std::vector<std::uint8_t>& bytes, std::int64_t offset) {
  ByteReader in(bytes);
  S98Info info;
  EXPECT_EQ(ReadHead(in, false, info), "");
  const DeviceTable devices = DeviceTableOf(info);
  Replay replay;
  for (int d = 0; d < kDeviceIndexCount; ++d) {
    const DeviceInfo* device = devices.Find(d);
    const ChipFamily* family = device != nullptr ? FamilyOf(device->type) : nullptr;
    if (family == nullptr) continue;
    replay.images[d] = json::array();
    for (int bank = 0; bank < family->Ports(device->type); ++bank) {
      replay.images[d].push_back(json(std::vector<std::nullptr_t>(256, nullptr)));
    }
  }
  DumpWalker walker(in, info.header);
  Command cmd;
  std::uint64_t ticks = 0;
  while (walker.Next(cmd)) {
    if (cmd.offset >= offset) {
      replay.found = true;
      replay.ticksBeforeAt = ticks;
      break;
    }
    replay.ticksBeforePrevious = ticks;
    if (cmd.kind == CommandKind::Write && replay.images.contains(cmd.device)) {
      const DeviceInfo* device = devices.Find(cmd.device);
      const int bank = FamilyOf(device->type)->Bank(device->type, cmd.port);
      if (bank >= 0) replay.images[cmd.device][static_cast<std::size_t>(bank)][cmd.reg] = cmd.value;
    }
    if (cmd.kind == CommandKind::Wait) ticks += static_cast<std::uint32_t>(cmd.ticks);
  }
  replay.ticks = ticks;
  return replay;
}

TEST(StateReport, RegisterImageMatchesReplayOnCorpus) {
  const std::filesystem::path corpus = TAVRIN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "corpus folder " << corpus << " not present; skipping";
  int snapshots = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".s98") continue;
    const auto bytes = testing::ReadBytes(entry.path());
    // The duration first, from the end snapshot; then thirds of it, the loop and the end.
    const auto endLines = SplitLines(Convert(bytes, StateOptions({"end"}, ReportFormat::JsonLines)), "\n");
    const std::uint64_t total = json::parse(endLines.back())["ticks"];
    const std::vector<std::string> at = {"loop", "end", "0t", std::to_string(total / 3) + "t",
                                         std::to_string(2 * total / 3) + "t", std::to_string(total) + "t"};
    const auto lines = SplitLines(Convert(bytes, StateOptions(at, ReportFormat::JsonLines)), "\n");
    ASSERT_EQ(lines.size(), at.size() + 1) << entry.path();
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const json state = json::parse(lines[i]);
      SCOPED_TRACE(entry.path().filename().string() + " at " + at[i - 1]);
      if (state["offset"].is_null()) continue;  // no loop
      const Replay replay = ReplayUpTo(bytes, state["offset"].get<std::int64_t>());
      EXPECT_EQ(state["ticks"].get<std::uint64_t>(), replay.found ? replay.ticksBeforeAt : replay.ticks);
      if (at[i - 1].ends_with("t") && replay.found) {
        // The first command at or after the asked tick, as --from picks it.
        const std::uint64_t asked = std::stoull(at[i - 1]);
        EXPECT_GE(replay.ticksBeforeAt, asked);
      }
      for (const json& device : state["devices"]) {
        EXPECT_EQ(device["written"], replay.images.at(device["device"].get<int>())) << "device " << device["device"];
      }
      ++snapshots;
    }
  }
  std::printf("checked %d snapshots\n", snapshots);
}

// Loop check: what differs in sound between the loop point and the end command, one finding per channel.
struct LoopCase {
  const char* what;
  std::vector<std::uint8_t> bytes;
  std::vector<std::string> expected;  // parts of the loop findings, in order; none for a loop that restores all
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.what; }

// An OPNA voice on FM#0 before the loop; `after` runs from the loop point to the end.
std::vector<std::uint8_t> OpnaLoop(const std::function<void(S98Builder&)>& after) {
  S98Builder b;
  b.Device(4, 7987200).Write(0, 0, 0x40, 0x7F).Write(0, 0, 0xA4, 0x22).Write(0, 0, 0xA0, 0x69).Write(0, 0, 0x28, 0x00);
  b.LoopHere();
  after(b);
  return b.Wait(10).End().Build();
}

class LoopCheck : public ::testing::TestWithParam<LoopCase> {};

TEST_P(LoopCheck, FindsWhatTheRepeatMisses) {
  std::vector<CheckFinding> findings;
  ASSERT_EQ(CheckS98Bytes(GetParam().bytes, false, findings), "");
  std::vector<std::string> loopFindings;
  for (const CheckFinding& f : findings) {
    if (f.text.find("jumps back") != std::string::npos) loopFindings.push_back(f.text);
  }
  ASSERT_EQ(loopFindings.size(), GetParam().expected.size()) << (loopFindings.empty() ? "" : loopFindings[0]);
  for (std::size_t i = 0; i < loopFindings.size(); ++i) {
    EXPECT_NE(loopFindings[i].find(GetParam().expected[i]), std::string::npos) << loopFindings[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Loops, LoopCheck,
    ::testing::Values(
        LoopCase{"a loop that restores everything",
                 OpnaLoop([](S98Builder& b) {
                   b.Write(0, 0, 0x40, 0x10).Write(0, 0, 0x28, 0xF0).Wait(5);
                   b.Write(0, 0, 0x28, 0x00).Write(0, 0, 0x40, 0x7F).Write(0, 0, 0x27, 0x15);  // timers: not heard
                 }),
                 {}},
        LoopCase{"a voice left changed",
                 OpnaLoop([](S98Builder& b) { b.Write(0, 0, 0x40, 0x10).Write(0, 0, 0x58, 0x1F); }),
                 {"#00 OPNA(YM2608) FM#0 differs when the player jumps back here (loop point -> end): op1 TL 127 -> 16, "
                  "op2 AR 0 -> 31"}},
        LoopCase{"a pitch left changed",
                 OpnaLoop([](S98Builder& b) { b.Write(0, 0, 0xA4, 0x23).Write(0, 0, 0xA0, 0x69); }),
                 {"FM#0 differs when the player jumps back here (loop point -> end): F-NUM $269 -> $369"}},
        LoopCase{"a key never released",
                 OpnaLoop([](S98Builder& b) { b.Write(0, 0, 0x28, 0xF0); }),
                 {"FM#0 differs when the player jumps back here (loop point -> end): KEY ---- -> 1234"}},
        LoopCase{"a DCSG attenuation, one finding per channel",
                 S98Builder()
                     .Device(16, 3579545)
                     .Write(0, 0, 0x00, 0x9F)
                     .Write(0, 0, 0x00, 0xBF)
                     .LoopHere()
                     .Write(0, 0, 0x00, 0x90)
                     .Write(0, 0, 0x00, 0xB0)
                     .Wait(4)
                     .End()
                     .Build(),
                 {"DCSG#0 differs when the player jumps back here (loop point -> end): ATT 15 -> 0",
                  "DCSG#1 differs when the player jumps back here (loop point -> end): ATT 15 -> 0"}},
        LoopCase{"OPLL rhythm left on",
                 S98Builder()
                     .Device(6, 3579545)
                     .Write(0, 0, 0x0E, 0x20)
                     .LoopHere()
                     .Write(0, 0, 0x0E, 0x30)
                     .Wait(4)
                     .End()
                     .Build(),
                 {"BD differs when the player jumps back here (loop point -> end): KEY - -> on"}}));

}  // namespace
}  // namespace tavrin
