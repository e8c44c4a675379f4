// --stats: the "[ Statistics ]" section, key-on events per family, and what a selection counts.
#include <gtest/gtest.h>

#include <map>

#include "core/byte_reader.h"
#include "engine/convert.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/s98.h"
#include "formats/s98/s98_sections.h"
#include "model/register_model.h"
#include "report/stats.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::Convert;
using testing::S98Builder;

std::string StatsSection(const std::string& report) {
  const auto at = report.find("\r\n[ Statistics ]\r\n");
  return at == std::string::npos ? std::string() : report.substr(at);
}

TEST(StatsSectionTest, WholeSection) {
  S98Builder b;
  b.Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF0).Wait(1).LoopHere().Write(0, 0, 0x28, 0x00).Wait(3).End();
  const std::string report = Convert(b.Build(), ConversionOptions{.stats = true});
  EXPECT_EQ(StatsSection(report),
            "\r\n[ Statistics ]\r\n"
            "Counted        = every command\r\n"
            "Commands       = 5\r\n"
            "Writes         = 2\r\n"
            "Waits          = 2 (4 ticks)\r\n"
            "Duration       = 4 ticks  00:00:00.040\r\n"
            "Loop Start     = 0x00000034  tick 1  00:00:00.010\r\n"
            "Loop Length    = 3 ticks  00:00:00.030\r\n"
            "Stream End     = end command at 0x00000039\r\n"
            "\r\n"
            "#00 OPNA(YM2608)     writes 2 (port 0: 2, port 1: 0)\r\n"
            "    key-on  FM#0=1 FM#1=0 FM#2=0 FM#3=0 FM#4=0 FM#5=0 BD=0 SD=0 TOP=0 HH=0 TOM=0 RIM=0\r\n"
            "    port 0  $28=2\r\n");
  // The rest of the report is the plain one.
  EXPECT_EQ(report.substr(0, report.size() - StatsSection(report).size()), Convert(b.Build(), {}));
}

TEST(StatsSectionTest, RegistersWrapAtSixteenAndIndexesWithoutRecordsShow) {
  S98Builder b;
  b.Device(16, 3579545);
  for (int r = 0; r < 18; ++r) b.Write(0, 0, static_cast<std::uint8_t>(r), 0x9F);
  b.Write(3, 1, 0x07, 0x00).End();
  const std::string section = StatsSection(Convert(b.Build(), ConversionOptions{.stats = true}));
  EXPECT_NE(
      section.find("#00 DCSG(SN76489)    writes 18 (port 0: 18, port 1: 0)\r\n"
                   "    port 0  $00=1 $01=1 $02=1 $03=1 $04=1 $05=1 $06=1 $07=1 $08=1 $09=1 $0a=1 $0b=1 "
                   "$0c=1 $0d=1 $0e=1 $0f=1\r\n"
                   "            $10=1 $11=1\r\n"),
      std::string::npos)
      << section;
  EXPECT_NE(section.find("#03 [ UNKNOWN ]      writes 1 (port 0: 0, port 1: 1)\r\n    port 1  $07=1\r\n"),
            std::string::npos)
      << section;
  EXPECT_EQ(section.find("key-on"), std::string::npos);  // the DCSG has no key-on register
}

TEST(StatsSectionTest, HowTheStreamEnds) {
  struct Case {
    const char* label;
    std::vector<std::uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      {"end command", S98Builder().Wait(1).End().Build(), "Stream End     = end command at 0x00000021\r\n"},
      {"end of file", S98Builder().Wait(1).Wait(2).Build(),
       "Stream End     = end of the file at 0x00000023 (no end command)\r\n"},
      {"tag bound", S98Builder().Wait(1).Wait(1).Tag("[S98]").Build(),
       "Stream End     = tag offset 0x00000022 (no end command)\r\n"},
      {"tag bound inside the last command", S98Builder().Wait(1).Raw({0x00, 0x28, 0xF0}).TagOffset(0x22).Build(),
       "Stream End     = tag offset 0x00000022 (no end command)\r\n"},
      {"cut write", S98Builder().Wait(1).Raw({0x00, 0x28}).Build(),
       "Stream End     = cut short inside the command at 0x00000021\r\n"},
      {"cut count", S98Builder().Raw({0xFE, 0x80}).Build(),
       "Stream End     = cut short inside the command at 0x00000020\r\n"},
      {"no command", S98Builder().Build(), "Stream End     = no command at the data offset 0x00000020\r\n"},
      {"loop offset inside a command", S98Builder().Raw({0x00, 0x28, 0xF0}).LoopOffset(0x21).End().Build(),
       "Loop Start     = 0x00000021 (no command starts there)\r\n"
       "Stream End     = end command at 0x00000023\r\n"},
  };
  for (const auto& c : cases) {
    const std::string section = StatsSection(Convert(c.bytes, ConversionOptions{.stats = true}));
    EXPECT_NE(section.find(c.line), std::string::npos) << c.label << "\n" << section;
  }
}

// Counts follow the shown lines; key-on state follows every write.
TEST(StatsSectionTest, SelectionCountsShownLinesOnly) {
  S98Builder b;
  b.Device(4, 7987200).Device(5, 3579545);
  b.Write(0, 0, 0x28, 0xF0).Write(1, 0, 0x08, 0x78).Wait(10);  // both keyed on before the window
  b.Write(0, 0, 0x28, 0xF0).Write(1, 0, 0x08, 0x78).Wait(1);   // held: no new event
  b.Write(0, 0, 0x28, 0x00).Write(0, 0, 0x28, 0xF1).Write(1, 0, 0x08, 0x00).Write(1, 0, 0x08, 0x79).End();
  ConversionOptions options{.stats = true};
  options.selection.from = ParseDumpPoint("10t");
  options.selection.deviceFilter = ParseDeviceList("0", options.selection.devices);
  const std::string section = StatsSection(Convert(b.Build(), options));
  EXPECT_NE(
      section.find(
          "Counted        = the commands shown in the dump section (duration and loop: the whole dump)\r\n"
          "Commands       = 5\r\nWrites         = 3\r\nWaits          = 1 (1 ticks)\r\n"
          "Duration       = 11 ticks  00:00:00.110\r\n"),
      std::string::npos)
      << section;
  EXPECT_NE(section.find("#00 OPNA(YM2608)     writes 3 (port 0: 3, port 1: 0)\r\n"
                         "    key-on  FM#0=0 FM#1=1 FM#2=0"),
            std::string::npos)
      << section;
  EXPECT_NE(section.find("#01 OPM(YM2151)      writes 0 (port 0: 0, port 1: 0)\r\n"
                         "    key-on  FM#0=0 FM#1=0"),
            std::string::npos)
      << section;
}

struct KeyWrite {
  int port;
  std::uint8_t reg, value;
};

// Key-on counts of device #00 after the writes, by label.
std::map<std::string, std::uint32_t> KeyOns(std::uint32_t type, std::initializer_list<KeyWrite> writes,
                                            bool* hasKeyOn = nullptr) {
  S98Builder b;
  b.Device(type, 4000000);
  for (const KeyWrite& w : writes) b.Write(0, w.port, w.reg, w.value);
  const auto bytes = b.End().Build();
  ByteReader in(bytes);
  S98Info head;
  EXPECT_EQ(ReadHead(in, false, head), "");
  const DeviceTable devices = DeviceTableOf(head);
  RegisterModel model(devices);
  DumpStats stats(StreamHeadOf(head), devices, false);
  DumpWalker walker(in, head.header);
  Command cmd;
  while (walker.Next(cmd)) {
    WriteEffect effect;
    if (cmd.kind == CommandKind::Write) effect = model.Apply(cmd.device, cmd.port, cmd.reg, cmd.value);
    stats.Observe(WalkStep{cmd, true, effect, 0});
  }
  stats.Finish(walker.EndBound());
  std::map<std::string, std::uint32_t> counts;
  const auto rows = stats.Devices();
  if (hasKeyOn != nullptr) *hasKeyOn = rows.at(0).hasKeyOn;
  for (const auto& k : rows.at(0).keyOns) counts[k.label] = k.count;
  return counts;
}

TEST(KeyOnTest, Families) {
  using Counts = std::map<std::string, std::uint32_t>;
  struct Case {
    const char* label;
    std::uint32_t type;
    std::initializer_list<KeyWrite> writes;
    Counts expected;  // labels not named here must be 0
  };
  const Case cases[] = {
      {"OPNA: on, held, off, on",
       4,
       {{0, 0x28, 0xF0}, {0, 0x28, 0xF0}, {0, 0x28, 0x00}, {0, 0x28, 0x10}},
       {{"FM#0", 2}}},
      {"OPNA: one more slot is an event",
       4,
       {{0, 0x28, 0x10}, {0, 0x28, 0x30}, {0, 0x28, 0x20}},
       {{"FM#0", 2}}},
      {"OPNA: upper bank, code 3 and port 1 select nothing else",
       4,
       {{0, 0x28, 0xF6}, {0, 0x28, 0xF3}, {0, 0x28, 0xF7}, {1, 0x28, 0xF0}},
       {{"FM#5", 1}}},
      {"OPNA rhythm: triggers, dump",
       4,
       {{0, 0x10, 0x01}, {0, 0x10, 0x01}, {0, 0x10, 0x81}, {0, 0x10, 0x3F}},
       {{"BD", 3}, {"SD", 1}, {"TOP", 1}, {"HH", 1}, {"TOM", 1}, {"RIM", 1}}},
      {"OPN: the bank bit means nothing",
       2,
       {{0, 0x28, 0xF4}, {0, 0x28, 0x01}, {0, 0x28, 0x11}},
       {{"FM#0", 1}, {"FM#1", 1}}},
      {"OPN2: rhythm register is no key", 3, {{0, 0x10, 0x3F}, {0, 0x28, 0xF5}}, {{"FM#4", 1}}},
      {"OPM: slot mask in bits 3-6, fewer slots is no event",
       5,
       {{0, 0x08, 0x78}, {0, 0x08, 0x08}, {0, 0x08, 0x00}, {0, 0x08, 0x0F}},
       {{"FM#0", 1}, {"FM#7", 1}}},
      {"OPL2: key bit 5, port 1 ignored",
       8,
       {{0, 0xB0, 0x20}, {0, 0xB0, 0x3F}, {0, 0xB0, 0x00}, {0, 0xB8, 0x20}, {1, 0xB1, 0x20}},
       {{"FM#0", 1}, {"FM#8", 1}}},
      {"OPL rhythm: held bits, mode bit",
       7,
       {{0, 0xBD, 0x30}, {0, 0xBD, 0x31}, {0, 0xBD, 0x11}, {0, 0xBD, 0x31}, {0, 0xBD, 0x3F}},
       {{"BD", 2}, {"HH", 2}, {"SD", 1}, {"TOM", 1}, {"CYM", 1}}},
      {"OPL3: port 1 is channels 9-17", 9, {{1, 0xB2, 0x20}, {0, 0xB2, 0x20}}, {{"FM#11", 1}, {"FM#2", 1}}},
      {"OPLL: key bit 4, rhythm $0E",
       6,
       {{0, 0x20, 0x10}, {0, 0x28, 0x1F}, {0, 0x0E, 0x21}, {0, 0x0E, 0x21}},
       {{"FM#0", 1}, {"FM#8", 1}, {"HH", 1}}},
  };
  for (const auto& c : cases) {
    const Counts counts = KeyOns(c.type, c.writes);
    for (const auto& [label, count] : counts) {
      const auto want = c.expected.find(label);
      EXPECT_EQ(count, want == c.expected.end() ? 0u : want->second) << c.label << ": " << label;
    }
    for (const auto& [label, count] : c.expected)
      EXPECT_TRUE(counts.contains(label)) << c.label << ": " << label;
  }
  EXPECT_EQ(KeyOns(2, {}).size(), 3u);   // OPN: three channels
  EXPECT_EQ(KeyOns(3, {}).size(), 6u);   // OPN2: six, no rhythm
  EXPECT_EQ(KeyOns(9, {}).size(), 23u);  // OPL3: eighteen and five rhythm instruments
  bool hasKeyOn = true;
  EXPECT_TRUE(KeyOns(1, {{0, 0x08, 0x0F}}, &hasKeyOn).empty());  // the PSG has no key-on register
  EXPECT_FALSE(hasKeyOn);
}

}  // namespace
}  // namespace tavrin
