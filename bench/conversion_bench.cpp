// In-memory conversion per decoder family, for finding hot spots (writes per second, with and without -v,
// --notes and --stats), and the fixed cost of one conversion of a short log (what the fuzzer pays per input).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "tests/support/s98_builder.h"

namespace {

using tavrin::testing::S98Builder;

constexpr int kWrites = 100000;

// A log of one device of `type`, writing registers spread over the chip's map, one wait per four writes.
std::vector<std::uint8_t> FamilyLog(std::uint32_t type, int ports, int lowReg, int highReg) {
  S98Builder b;
  b.Device(type, 4000000, 3);
  std::mt19937 rng(42);
  for (int i = 0; i < kWrites; ++i) {
    const int reg = lowReg + static_cast<int>(rng() % static_cast<unsigned>(highReg - lowReg + 1));
    b.Write(0, static_cast<int>(rng() % static_cast<unsigned>(ports)), static_cast<std::uint8_t>(reg),
            static_cast<std::uint8_t>(rng()));
    if (i % 4 == 3) b.Wait(1 + rng() % 300);
  }
  b.End();
  return b.Build();
}

void Convert(benchmark::State& state, const std::vector<std::uint8_t>& log, const tavrin::ConversionOptions& options,
             std::int64_t commands = kWrites + kWrites / 4) {
  std::string report;
  for (auto _ : state) {
    tavrin::ConvertS98Bytes(log, "bench.s98", options, report);
    benchmark::DoNotOptimize(report.data());
  }
  state.SetItemsProcessed(state.iterations() * commands);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(report.size()));
}

void Convert(benchmark::State& state, const std::vector<std::uint8_t>& log, bool verbose) {
  Convert(state, log, tavrin::ConversionOptions{.verbose = verbose});
}

const std::vector<std::uint8_t>& Log(int family) {
  static const std::vector<std::uint8_t> logs[] = {
      FamilyLog(4, 2, 0x00, 0xB6),   // OPNA: SSG, rhythm, FM, ADPCM
      FamilyLog(5, 1, 0x01, 0xFF),   // OPM
      FamilyLog(9, 2, 0x01, 0xF5),   // OPL3
      FamilyLog(6, 1, 0x00, 0x38),   // OPLL
      FamilyLog(16, 1, 0x00, 0x00),  // DCSG: every value byte is a command or data byte
  };
  return logs[family];
}

// Four writes and a wait on an OPNA and an OPM: nearly all of the cost is setting the conversion up.
const std::vector<std::uint8_t>& ShortLog() {
  static const std::vector<std::uint8_t> log = [] {
    S98Builder b;
    b.Device(4, 7987200, 3).Device(5, 3579545, 0);
    b.Write(0, 0, 0xA4, 0x22).Write(0, 0, 0xA0, 0x6A).Write(0, 0, 0x28, 0xF0).Wait(1).Write(1, 0, 0x28, 0x4A).End();
    return b.Build();
  }();
  return log;
}

void BM_Plain(benchmark::State& state) { Convert(state, Log(0), false); }
void BM_OpnaNotes(benchmark::State& state) { Convert(state, Log(0), tavrin::ConversionOptions{.notes = true}); }
void BM_OpnaStats(benchmark::State& state) {
  Convert(state, Log(0), tavrin::ConversionOptions{.verbose = true, .stats = true});
}
void BM_ShortLogNotesStats(benchmark::State& state) {
  Convert(state, ShortLog(), tavrin::ConversionOptions{.notes = true, .stats = true}, 6);
}
void BM_Opna(benchmark::State& state) { Convert(state, Log(0), true); }
void BM_Opm(benchmark::State& state) { Convert(state, Log(1), true); }
void BM_Opl3(benchmark::State& state) { Convert(state, Log(2), true); }
void BM_Opll(benchmark::State& state) { Convert(state, Log(3), true); }
void BM_Dcsg(benchmark::State& state) { Convert(state, Log(4), true); }

BENCHMARK(BM_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Opna)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpnaNotes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpnaStats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShortLogNotesStats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Opm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Opl3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Opll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dcsg)->Unit(benchmark::kMillisecond);

}  // namespace
