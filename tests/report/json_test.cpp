// --json: every line parses, the commands' offsets and bytes rebuild the dump, and each agrees with its
// report line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>

#include "engine/convert.h"
#include "engine/paths.h"
#include "tests/support/options_support.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using nlohmann::json;
using testing::Convert;
using testing::DumpSection;
using testing::S98Builder;
using testing::SplitLines;

std::vector<json> ParseLines(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\n"));
  std::vector<json> lines;
  for (const std::string& line : SplitLines(text, "\n")) {
    EXPECT_EQ(line.find('\r'), std::string::npos);
    lines.push_back(json::parse(line));  // throws, failing the test, on a line that does not parse
  }
  return lines;
}

std::vector<std::uint8_t> Unhex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The start of a report line as the command's fields say it must read.
std::string LinePrefix(const json& c) {
  char text[64];
  const std::string hex = c["bytes"];
  std::snprintf(text, sizeof text, "%08x : ", static_cast<unsigned>(c["offset"].get<std::int64_t>()));
  std::string line = text;
  const std::string kind = c["kind"];
  const auto bytes = Unhex(hex);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(text, sizeof text, kind == "write" && i == 2 ? "%02x" : "%02x ", bytes[i]);
    line += text;
    if (kind == "cut" && bytes[0] < 0xFD) break;  // a cut write shows its command byte only
  }
  if (kind == "write") {
    std::snprintf(text, sizeof text, "\t[ #%02d ", c["device"].get<int>());
    line += text + c["name"].get<std::string>() + " ] ";
  }
  return line;
}

// Checks one file's JSON Lines against its bytes and its -v report.
void ExpectJsonMatchesFile(const std::vector<std::uint8_t>& file, const std::string& name) {
  const std::string text =
      Convert(file, ConversionOptions{.verbose = true, .format = ReportFormat::JsonLines}, name);
  const std::vector<json> lines = ParseLines(text);
  ASSERT_FALSE(lines.empty()) << name;
  const json& head = lines[0];
  EXPECT_EQ(head["type"], "head") << name;
  EXPECT_EQ(head["file"], name);
  const std::int64_t dataOffset = head["dataOffset"];

  const std::vector<std::string> report =
      SplitLines(DumpSection(Convert(file, ConversionOptions{.verbose = true}, name)));
  ASSERT_EQ(report.size(), lines.size() - 1) << name;

  std::int64_t next = dataOffset;
  std::vector<std::uint8_t> rebuilt;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const json& c = lines[i];
    const std::string& line = report[i - 1];
    ASSERT_EQ(c["type"], "command") << name;
    EXPECT_EQ(c["offset"].get<std::int64_t>(), next) << name << " line " << i;
    const auto bytes = Unhex(c["bytes"]);
    ASSERT_FALSE(bytes.empty());
    rebuilt.insert(rebuilt.end(), bytes.begin(), bytes.end());
    next += static_cast<std::int64_t>(bytes.size());
    const std::string prefix = LinePrefix(c);
    ASSERT_TRUE(line.starts_with(prefix)) << name << "\n report: " << line << "\n json:   " << c.dump();
    const bool loop = c["loop"];
    EXPECT_EQ(line.ends_with(" *** LOOP POINT ***"), loop) << line;
    if (c["kind"] == "write") {
      std::string annotation = line.substr(prefix.size());
      if (loop) annotation.resize(annotation.size() - std::string(" *** LOOP POINT ***").size());
      EXPECT_EQ(c["annotation"], annotation) << name << " line " << i;
    } else if (c["kind"] == "wait") {
      // "(N)" of the report line is the tick count after the wait, as "ticks" is.
      EXPECT_NE(line.find("(" + std::to_string(c["ticks"].get<std::uint64_t>()) + ")"), std::string::npos)
          << line;
      EXPECT_NE(line.find("SYNC " + std::to_string(c["wait"].get<std::uint32_t>()) + " "), std::string::npos)
          << line;
    }
  }
  ASSERT_LE(static_cast<std::size_t>(dataOffset) + rebuilt.size(), file.size()) << name;
  EXPECT_TRUE(std::equal(rebuilt.begin(), rebuilt.end(), file.begin() + dataOffset)) << name;
}

TEST(JsonLinesTest, EveryCorpusFileParsesAndRebuildsItsDump) {
  const std::filesystem::path corpus = TAVRIN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".s98") continue;
    ExpectJsonMatchesFile(testing::ReadBytes(entry.path()), entry.path().filename().string());
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST(JsonLinesTest, BuiltFilesWithCutsLoopsAndCounts) {
  S98Builder looped;
  looped.Device(4, 7987200).Device(5, 3579545).Write(0, 0, 0xA4, 0x22).LoopHere().Write(0, 0, 0xA0, 0x69);
  looped.Wait(1).Wait(300).Write(1, 0, 0x28, 0x4A).Write(0, 1, 0x10, 0x80).End();
  ExpectJsonMatchesFile(looped.Build(), "looped.s98");
  ExpectJsonMatchesFile(S98Builder().Wait(1).Raw({0x00, 0x28}).Build(), "cut-write.s98");
  ExpectJsonMatchesFile(S98Builder().Wait(1).Raw({0x01}).Build(), "cut-after-command-byte.s98");
  ExpectJsonMatchesFile(S98Builder().Raw({0xFE, 0xFF, 0xFF}).Build(), "cut-count.s98");
  ExpectJsonMatchesFile(S98Builder().Raw({0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}).End().Build(),
                        "long-count.s98");
}

TEST(JsonLinesTest, CommandFields) {
  const auto bytes =
      S98Builder().Timer(1, 60).Device(5, 3579545).Write(0, 0, 0x28, 0x4A).Wait(90).End().Build();
  // The lines as written: keys in a fixed order, no blanks.
  const auto lines = SplitLines(Convert(bytes, ConversionOptions{.format = ReportFormat::JsonLines}), "\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            R"J({"type":"head","file":"t.s98","version":"3","timerNumerator":1,"timerDenominator":60,)J"
            R"J("tagOffset":0,"dataOffset":48,"loopOffset":0,"deviceCount":1,)J"
            R"J("devices":[{"device":0,"type":5,"name":"OPM(YM2151)","clock":3579545,"pan":0}]})J");
  EXPECT_EQ(
      lines[1],
      R"J({"type":"command","offset":48,"bytes":"00284a","kind":"write","device":0,"port":0,"register":40,)J"
      R"J("value":74,"name":"OPM(YM2151)","ticks":0,"elapsed":0.0,"loop":false})J");
  EXPECT_EQ(
      lines[2],
      R"J({"type":"command","offset":51,"bytes":"fe58","kind":"wait","wait":90,"ticks":90,"elapsed":1.5,)J"
      R"J("loop":false})J");
  EXPECT_EQ(
      lines[3],
      R"J({"type":"command","offset":53,"bytes":"fd","kind":"end","ticks":90,"elapsed":1.5,"loop":false})J");
}

// The selection options pick the same commands in JSON as in the text report.
TEST(JsonLinesTest, SelectionPicksTheReportsLines) {
  S98Builder b;
  b.Device(4, 7987200).Device(5, 3579545);
  for (int i = 0; i < 30; ++i)
    b.Write(i % 2, 0, 0x28, static_cast<std::uint8_t>(i)).Wait(static_cast<std::uint32_t>(1 + i % 4));
  const auto bytes = b.End().Build();
  for (const auto& [from, to, devices] :
       {std::tuple{"0.1", "0.4", "1"}, std::tuple{"5t", "0x80", "0"}, std::tuple{"9", "10", "0,1"}}) {
    ConversionOptions options;
    options.selection.from = ParseDumpPoint(from);
    options.selection.to = ParseDumpPoint(to);
    options.selection.deviceFilter = ParseDeviceList(devices, options.selection.devices);
    std::vector<std::string> offsets;
    for (const std::string& line : SplitLines(DumpSection(Convert(bytes, options))))
      offsets.push_back(line.substr(0, 8));
    options.format = ReportFormat::JsonLines;
    const auto lines = ParseLines(Convert(bytes, options));
    ASSERT_EQ(lines.size(), offsets.size() + 1) << from << " " << to;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%08x",
                    static_cast<unsigned>(lines[i + 1]["offset"].get<std::int64_t>()));
      EXPECT_EQ(hex, offsets[i]);
    }
  }
}

TEST(JsonLinesTest, TextFromTheFileIsValidUtf8) {
  using namespace std::string_literals;
  const auto bytes = S98Builder().Wait(1).End().Tag("[S98]title=\x8B\xC8\x96\xBC\nbad=\x83"s + '\0').Build();
  const auto lines = ParseLines(
      Convert(bytes, ConversionOptions{.tags = true, .format = ReportFormat::JsonLines}, "song\xFF.s98"));
  EXPECT_EQ(lines[0]["file"], "song\xEF\xBF\xBD.s98");  // the byte that is not UTF-8 becomes U+FFFD
  EXPECT_EQ(lines[0]["tag"]["format"], "[S98] key=value lines, Shift-JIS");
  EXPECT_EQ(lines[0]["tag"]["lines"], json::array({"title=\xE6\x9B\xB2\xE5\x90\x8D", "bad=\xEF\xBF\xBD"}));
  EXPECT_EQ(lines[0]["tag"]["notes"].size(), 1u);
}

TEST(JsonLinesTest, StatisticsCloseTheLines) {
  const auto bytes =
      S98Builder().Device(6, 3579545).Write(0, 0, 0x20, 0x10).Wait(4).LoopHere().Wait(2).End().Build();
  const auto lines =
      ParseLines(Convert(bytes, ConversionOptions{.stats = true, .format = ReportFormat::JsonLines}));
  const json& stats = lines.back();
  EXPECT_EQ(stats["type"], "stats");
  EXPECT_EQ(stats["commands"], 4);
  EXPECT_EQ(stats["durationTicks"], 6);
  EXPECT_EQ(stats["loop"]["tick"], 4);
  EXPECT_EQ(stats["loop"]["lengthTicks"], 2);
  EXPECT_EQ(stats["end"]["kind"], "end-command");
  EXPECT_EQ(stats["devices"][0]["keyOn"]["FM#0"], 1);
  EXPECT_EQ(stats["devices"][0]["registers"][0], json({{"port", 0}, {"register", 0x20}, {"count", 1}}));
}

TEST(JsonLinesTest, PathBesideTheInput) {
  EXPECT_EQ(JsonLinesPathFor("dir/song.s98"), std::filesystem::path("dir/song.jsonl"));
  EXPECT_EQ(JsonLinesPathFor("dir/song"), std::filesystem::path("dir/song.jsonl"));
  EXPECT_EQ(JsonLinesPathFor("a.b/song.x.s98"), std::filesystem::path("a.b/song.x.jsonl"));
}

}  // namespace
}  // namespace tavrin
