// Writes the fuzzer's starting corpus: one small log per chip family and a set of malformed files.
//
// The fuzz target takes its options from the last byte of each input (bit 0 -v, bit 1 -f, bit 2
// --notes, bit 3 convert twice, bit 4 --tags, bit 5 --stats, bit 6 --json, bit 7 a dump selection
// made from the byte before it), so every seed ends with a byte chosen for the options it should
// start from; bytes after the end command are never walked, so the byte changes nothing else.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

namespace {

namespace fs = std::filesystem;
using tavrin::testing::S98Builder;
using Bytes = std::vector<std::uint8_t>;

// Annotate and show pitches, converting twice so state left between conversions shows up.
constexpr std::uint8_t kVerboseNotesTwice = 0x0D;
constexpr std::uint8_t kForce = 0x02;
constexpr std::uint8_t kTags = 0x10;
constexpr std::uint8_t kStats = 0x20;
constexpr std::uint8_t kJson = 0x40;
constexpr std::uint8_t kSelection = 0x80;

// A literal with its embedded NUL bytes, without the one the compiler adds.
template <std::size_t N>
std::string_view Text(const char (&text)[N]) {
  return std::string_view(text, N - 1);
}

Bytes WithOptions(Bytes bytes, std::uint8_t options) {
  bytes.push_back(options);
  return bytes;
}

// Every register of the given ports once, values spread over the byte so each field sees set bits.
void SweepRegisters(S98Builder& b, int device, int ports) {
  for (int port = 0; port < ports; ++port) {
    for (int reg = 0; reg < 256; ++reg) {
      b.Write(device, port, static_cast<std::uint8_t>(reg),
              static_cast<std::uint8_t>(reg * 37 + 11 + port * 90));
    }
  }
}

struct Write {
  int port;
  std::uint8_t reg, value;
};

// A short phrase: set a pitch, key on, wait, key off; so the pitch and key-on paths start covered.
void Phrase(S98Builder& b, int device, std::initializer_list<Write> writes) {
  for (const Write& w : writes) b.Write(device, w.port, w.reg, w.value);
  b.Wait(1).Wait(30);
}

Bytes FamilySeed(std::uint32_t type, std::uint32_t clock, int ports, std::initializer_list<Write> phrase) {
  S98Builder b;
  b.Device(type, clock, 0x03);
  Phrase(b, 0, phrase);
  b.LoopHere();
  SweepRegisters(b, 0, ports);
  b.Wait(2).End();
  return WithOptions(b.Build(), kVerboseNotesTwice);
}

// DCSG takes bare data bytes; the register byte of the command is ignored.
Bytes DcsgSeed() {
  S98Builder b;
  b.Device(16, 3579545);
  for (int value : {0x8E, 0x0F, 0x90, 0xA5, 0x3F, 0xB3, 0xC1, 0x20, 0xD0, 0xE4, 0xE7, 0xF2, 0x9F, 0xFF}) {
    b.Write(0, 0, 0, static_cast<std::uint8_t>(value)).Wait(1);
  }
  for (int value = 0; value < 256; ++value)
    b.Write(0, 0, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value));
  b.End();
  return WithOptions(b.Build(), kVerboseNotesTwice);
}

// One device of every type on one stream, the unknown codes included.
Bytes MixedSeed() {
  S98Builder b;
  const std::uint32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14, 15, 16, 17, 0xFFFFFFFF};
  for (std::uint32_t t : types) b.Device(t, 4000000, 0x1F3);
  for (int d = 0; d < 16; ++d) b.Write(d, d & 1, 0x28, 0xF1).Write(d, 0, 0xA0, 0x44).Write(d, 1, 0xB0, 0x2D);
  b.Write(20, 0, 0x10, 0x10);  // an index past the records
  b.Wait(1000).End();
  return WithOptions(b.Build(), kVerboseNotesTwice);
}

Bytes Prefix(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

// VGM logs: every decoded chip twice (dual-chip bit), every command range, data blocks, a GD3 tag, a
// loop; plain and gzip-compressed, and cut inside a command.
std::vector<std::pair<std::string, Bytes>> VgmSeeds() {
  using tavrin::testing::VgmBuilder;
  VgmBuilder b;
  for (std::uint8_t field : {0x0C, 0x10, 0x2C, 0x30, 0x44, 0x48, 0x50, 0x54, 0x5C, 0x74}) {
    b.Clock(field, 0x40000000u | 3579545u);
  }
  b.Clock(0x38, 4000000);  // a chip without a decoder
  b.Command({0x50, 0x8F}).Command({0x30, 0x3F}).Command({0x4F, 0xF0}).Command({0x51, 0x30, 0x10});
  b.Command({0xA1, 0x20, 0x18}).Command({0x52, 0x28, 0xF0}).Command({0x53, 0xA4, 0x22});
  b.Command({0x54, 0x08, 0x78}).Command({0x55, 0x28, 0x01}).Command({0x56, 0x10, 0x3F}).Command({0x57, 0x01, 0x02});
  b.Command({0x5A, 0xB0, 0x2D}).Command({0x5B, 0xA0, 0x41}).Command({0x5E, 0x05, 0x01}).Command({0x5F, 0xB0, 0x2D});
  b.Command({0xA0, 0x07, 0x38}).Command({0xA0, 0x88, 0x0F}).LoopHere();
  b.DataBlock(0x00, Bytes(64, 0x80)).Command({0x80}).Command({0x8F}).Command({0xE0, 0, 0, 0, 0});
  b.Command({0x90, 0, 2, 0, 0x2A}).Command({0x91, 0, 0, 1, 0}).Command({0x92, 0, 0x44, 0xAC, 0, 0});
  b.Command({0x93, 0, 0, 0, 0, 0, 1, 16, 0, 0, 0}).Command({0x94, 0}).Command({0x95, 0, 0, 0, 0});
  b.Command({0x68, 0x66, 1, 0, 0, 0, 0, 0, 0, 4, 0, 0}).Command({0xC0, 0, 0, 0}).Command({0xB4, 0, 0});
  b.Command({0x31, 0}).Command({0x40, 0, 0}).Command({0xD7, 0, 0, 0}).Command({0xFF, 0, 0, 0, 0});
  b.Command({0x64, 0x62, 0x10, 0}).Command({0x62}).Command({0x63}).Command({0x7F}).Wait(70000).End();
  b.Gd3({"Track", "トラック", "Game", "ゲーム", "System", "", "Author", "", "2026", "Tavrin", "line 1\nline 2"});
  const Bytes plain = b.Build();
  std::vector<std::pair<std::string, Bytes>> seeds;
  seeds.emplace_back("vgm-every-command", WithOptions(plain, kVerboseNotesTwice | kTags));
  seeds.emplace_back("vgm-stats-json", WithOptions(plain, kStats | kJson | 0x01));
  seeds.emplace_back("vgz-every-command", WithOptions(b.BuildGzip(), kVerboseNotesTwice | kStats));
  seeds.emplace_back("vgm-cut", Bytes(plain.begin(), plain.begin() + 0x100 + 9));
  return seeds;
}

std::vector<std::pair<std::string, Bytes>> MalformedSeeds() {
  std::vector<std::pair<std::string, Bytes>> seeds;
  auto add = [&](std::string name, Bytes bytes) { seeds.emplace_back(std::move(name), std::move(bytes)); };
  const Bytes plain = S98Builder().Device(4, 7987200).Write(0, 0, 0x28, 0xF0).Wait(5).End().Build();

  add("short-31", Prefix(plain, 31));
  add("magic-lower-case", S98Builder().Magic("s98").End().Build());
  add("version-4-forced",
      WithOptions(S98Builder().Version('4').Write(0, 0, 0x07, 0x38).End().Build(), kForce));
  add("version-0", S98Builder().Version(0).Write(0, 0, 0x07, 0x38).End().Build());
  for (std::uint32_t count : {65u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    add("devices-" + std::to_string(count), S98Builder().DeviceCount(count).End().Build());
  }
  add("device-list-cut", Prefix(S98Builder().Device(4, 7987200).Device(5, 4000000).Build(), 50));
  for (std::uint32_t offset : {0u, 5u, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000u}) {
    add("data-offset-" + std::to_string(offset),
        WithOptions(S98Builder().DataOffset(offset).Write(0, 0, 0x29, 0x80).End().Build(), 0x01));
  }
  for (std::uint32_t offset : {0x23u, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
    add("tag-offset-" + std::to_string(offset),
        S98Builder().TagOffset(offset).Write(0, 0, 0x29, 0x80).Wait(1).Write(0, 0, 0x29, 0x00).Build());
    add("loop-offset-" + std::to_string(offset),
        S98Builder().LoopOffset(offset).Write(0, 0, 0x29, 0x80).Wait(1).End().Build());
  }
  for (std::uint32_t denominator : {0x10000000u, 0xFFFFFFFFu, 0x80000000u, 7u}) {
    add("timer-denominator-" + std::to_string(denominator),
        S98Builder().Timer(0x7FFFFFFF, denominator).Wait(1).Wait(3).Wait(100000).End().Build());
  }
  add("timer-numerator-min", S98Builder().Timer(0x80000000, 0xFFFFFFFF).Wait(1).Wait(1).End().Build());

  Bytes continuations = {0xFE};
  continuations.insert(continuations.end(), 300, 0x80);
  continuations.push_back(0x01);
  add("wait-300-continuations", S98Builder().Raw(continuations).End().Build());
  add("wait-cut-at-end", S98Builder().Raw({0xFF, 0xFE, 0x80, 0x80, 0x80}).Build());
  Bytes fe80;
  for (int i = 0; i < 200; ++i) fe80.insert(fe80.end(), {0xFE, 0x80});
  add("wait-fe80-stream", S98Builder().Raw(fe80).Build());

  for (std::uint32_t type : {10u, 11u, 12u, 13u, 14u, 17u, 0xFFFFFFFFu}) {
    add("device-type-" + std::to_string(type),
        WithOptions(S98Builder().Device(type, 1000000, 0xFF).Write(0, 0, 0x28, 0xF0).End().Build(), 0x05));
  }
  add("write-cut-after-command", S98Builder().Write(0, 0, 0x28, 0xF0).Raw({0x01}).Build());
  add("write-cut-after-register", S98Builder().Write(0, 0, 0x28, 0xF0).Raw({0x01, 0x28}).Build());
  add("device-index-126-default",
      WithOptions(S98Builder().Raw({0xFC, 0x28, 0xF0, 0xFD}).Build(), kVerboseNotesTwice));
  add("device-index-126-one-record",
      WithOptions(S98Builder().Device(5, 4000000).Raw({0xFC, 0x28, 0xF0, 0xFD}).Build(), kVerboseNotesTwice));
  Bytes ticks;
  for (int i = 0; i < 400; ++i) ticks.push_back(0xFF);
  add("ticks-only", S98Builder().Raw(ticks).Build());

  // Tag blocks: UTF-8 with its byte-order mark, Shift-JIS, an old version's title, no closing NUL,
  // bytes that are no text at all, and a tag offset past the end.
  const auto tagged = [](std::uint8_t version, std::string_view tag) {
    return S98Builder().Version(version).Write(0, 0, 0x28, 0xF0).Wait(1).End().Tag(tag);
  };
  add("tag-utf8",
      WithOptions(tagged('3', Text("[S98]\xEF\xBB\xBFtitle=Song\nartist=\xE3\x81\x82\n\0")).Build(),
                  kTags | 0x01));
  add("tag-shift-jis",
      WithOptions(tagged('3', Text("[S98]title=\x82\xA0\x82\xA2\ngame=x\n\0")).Build(), kTags));
  add("tag-old-title", WithOptions(tagged('1', Text("Title \x82\xA0\x81\0")).Build(), kTags));
  add("tag-unterminated", WithOptions(tagged('3', "[S98]title=no end\nkey").Build(), kTags));
  add("tag-not-text-json",
      WithOptions(tagged('3', Text("[S98]\xEF\xBB\xBFti\xFFtle=\xFE\xC0\x80\x82\n=\n\0")).Build(),
                  kTags | kJson));
  add("tag-offset-past-end", WithOptions(S98Builder().TagOffset(0x1000).End().Build(), kTags | kStats));

  // The other report shapes over a log of every family: JSON lines, statistics, each kind of selection.
  add("json-mixed", WithOptions(MixedSeed(), kJson | kVerboseNotesTwice));
  add("stats-mixed", WithOptions(MixedSeed(), kStats | 0x01));
  for (int selection : {0x14, 0x0D, 0x0A, 0x0F}) {
    add("selection-" + std::to_string(selection),
        WithOptions(WithOptions(MixedSeed(), static_cast<std::uint8_t>(selection)),
                    kSelection | kStats | 0x01));
  }
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tavrin-fuzz-seeds FOLDER\n");
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code ec;
  fs::create_directories(folder, ec);

  std::vector<std::pair<std::string, Bytes>> seeds = {
      // OPNA: FM#0 pitch and key-on, SSG tone, rhythm, ADPCM on port 1.
      {"opna", FamilySeed(4, 7987200, 2,
                          {{0, 0x29, 0x80},
                           {0, 0xA4, 0x22},
                           {0, 0xA0, 0x69},
                           {0, 0x28, 0xF0},
                           {0, 0x00, 0x1C},
                           {0, 0x01, 0x01},
                           {0, 0x08, 0x0F},
                           {0, 0x10, 0x3F},
                           {1, 0x00, 0xA0},
                           {1, 0x09, 0x00}})},
      {"opn",
       FamilySeed(2, 3993600, 1, {{0, 0xA4, 0x22}, {0, 0xA0, 0x69}, {0, 0x28, 0xF1}, {0, 0x27, 0x40}})},
      {"opn2",
       FamilySeed(3, 7670453, 2,
                  {{1, 0xA5, 0x22}, {1, 0xA1, 0x69}, {0, 0x28, 0xF5}, {0, 0x2B, 0x80}, {0, 0x2A, 0x40}})},
      {"psg",
       FamilySeed(1, 2000000, 1, {{0, 0x00, 0xFE}, {0, 0x01, 0x00}, {0, 0x07, 0x3E}, {0, 0x08, 0x10}})},
      {"ay8910",
       FamilySeed(15, 1789773, 1, {{0, 0x02, 0x55}, {0, 0x03, 0x01}, {0, 0x07, 0x3D}, {0, 0x09, 0x0F}})},
      {"opm",
       FamilySeed(5, 3579545, 1, {{0, 0x20, 0xC7}, {0, 0x28, 0x4A}, {0, 0x30, 0x80}, {0, 0x08, 0x78}})},
      {"opll",
       FamilySeed(6, 3579545, 1, {{0, 0x10, 0xAB}, {0, 0x30, 0x15}, {0, 0x20, 0x3B}, {0, 0x0E, 0x3F}})},
      {"opl", FamilySeed(7, 3579545, 1, {{0, 0xA0, 0x41}, {0, 0xB0, 0x2D}, {0, 0xBD, 0x3F}})},
      {"opl2",
       FamilySeed(8, 3579545, 1, {{0, 0x01, 0x20}, {0, 0xA3, 0x41}, {0, 0xB3, 0x2D}, {0, 0xE0, 0x03}})},
      {"opl3",
       FamilySeed(9, 14318180, 2,
                  {{1, 0x05, 0x01}, {1, 0x04, 0x3F}, {1, 0xA0, 0x41}, {1, 0xB0, 0x2D}, {0, 0xC0, 0xF1}})},
      {"dcsg", DcsgSeed()},
      {"mixed", MixedSeed()},
  };
  for (auto& seed : MalformedSeeds()) seeds.push_back(std::move(seed));
  for (auto& seed : VgmSeeds()) seeds.push_back(std::move(seed));

  int failures = 0;
  for (const auto& [name, bytes] : seeds) {
    if (!tavrin::testing::WriteS98File(folder / (name + ".s98"), bytes)) {
      std::fprintf(stderr, "cannot write %s\n", (folder / (name + ".s98")).c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
