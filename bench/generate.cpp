// Writes a large multi-chip S98 log (OPNA, OPM, DCSG) with register mixes like real drivers make them;
// for an OUT named *.vgm, the same writes and waits as a VGM log.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

namespace {

using tavrin::testing::S98Builder;

constexpr int kOpna = 0;
constexpr int kOpm = 1;
constexpr int kDcsg = 2;

class SongWriter {
 public:
  SongWriter(S98Builder& b, std::uint32_t seed) : b_(b), rng_(seed) {}

  // One driver "tick" of work; returns the number of register writes it made.
  int Step() {
    const int before = writes_;
    switch (Pick(10)) {
      case 0: case 1: case 2: OpnaFmNote(); break;
      case 3: OpnaVoice(); break;
      case 4: Ssg(); break;
      case 5: Rhythm(); break;
      case 6: Adpcm(); break;
      case 7: case 8: OpmNote(); break;
      default: Dcsg(); break;
    }
    return writes_ - before;
  }

  // About one wait per four writes: single ticks, and 0xFE waits with one or two count bytes.
  void MaybeWait() {
    while (pendingWrites_ >= 4) {
      pendingWrites_ -= 4;
      const int kind = Pick(4);
      if (kind < 2) {
        b_.Wait(1);
      } else if (kind == 2) {
        b_.Wait(2 + static_cast<std::uint32_t>(Pick(128)));         // one count byte
      } else {
        b_.Wait(130 + static_cast<std::uint32_t>(Pick(2000)));      // two count bytes
      }
    }
  }

  int writes() const { return writes_; }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
  void W(int device, int port, int reg, int value) {
    b_.Write(device, port, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
    ++writes_;
    ++pendingWrites_;
  }

  void OpnaFmNote() {
    const int ch = Pick(6);
    const int port = ch / 3;
    const int c = ch % 3;
    W(kOpna, 0, 0x28, c | (port << 2));                          // key off
    for (int slot = 0; slot < 4; slot += 3) W(kOpna, port, 0x40 + slot * 4 + c, Pick(128));  // total levels
    const int fnum = 0x26A + Pick(0x1A6);
    W(kOpna, port, 0xA4 + c, ((Pick(8)) << 3) | (fnum >> 8));    // block and F-number high
    W(kOpna, port, 0xA0 + c, fnum & 0xFF);                       // F-number low
    W(kOpna, 0, 0x28, 0xF0 | c | (port << 2));                  // key on all slots
  }
  void OpnaVoice() {
    const int ch = Pick(6);
    const int port = ch / 3;
    const int c = ch % 3;
    for (int row = 0x30; row <= 0x90; row += 0x10) {
      for (int slot = 0; slot < 4; ++slot) W(kOpna, port, row + slot * 4 + c, Pick(256));
    }
    W(kOpna, port, 0xB0 + c, Pick(64));
    W(kOpna, port, 0xB4 + c, 0xC0);
  }
  void Ssg() {
    const int c = Pick(3);
    const int period = 0x40 + Pick(0xF00);
    W(kOpna, 0, c * 2, period & 0xFF);
    W(kOpna, 0, c * 2 + 1, period >> 8);
    W(kOpna, 0, 0x08 + c, Pick(16));
    if (Pick(4) == 0) W(kOpna, 0, 0x07, 0x38);
  }
  void Rhythm() {
    W(kOpna, 0, 0x11, 0x3F);
    W(kOpna, 0, 0x18 + Pick(6), 0xC0 | Pick(32));
    W(kOpna, 0, 0x10, 1 << Pick(6));
  }
  void Adpcm() {
    const int start = Pick(0x8000);
    W(kOpna, 1, 0x00, 0x01);  // reset
    W(kOpna, 1, 0x01, 0xC0);  // both speakers
    W(kOpna, 1, 0x02, start & 0xFF);
    W(kOpna, 1, 0x03, start >> 8);
    W(kOpna, 1, 0x04, 0xFF);
    W(kOpna, 1, 0x05, (start >> 8) + 0x10);
    W(kOpna, 1, 0x09, Pick(256));
    W(kOpna, 1, 0x0A, 0x40 + Pick(0x40));
    W(kOpna, 1, 0x0B, 0xC0);
    W(kOpna, 1, 0x00, 0xA0);  // start from memory
  }
  void OpmNote() {
    const int ch = Pick(8);
    W(kOpm, 0, 0x08, ch);                               // key off
    W(kOpm, 0, 0x28 + ch, (Pick(8) << 4) | Pick(16));  // key code
    W(kOpm, 0, 0x30 + ch, Pick(64) << 2);              // key fraction
    W(kOpm, 0, 0x60 + ch + 8 * Pick(4), Pick(128));    // total level
    if (Pick(8) == 0) W(kOpm, 0, 0x20 + ch, 0xC0 | Pick(64));
    W(kOpm, 0, 0x08, 0x78 | ch);                        // key on
  }
  void Dcsg() {
    const int c = Pick(3);
    const int period = 1 + Pick(1023);
    W(kDcsg, 0, 0x00, 0x80 | (c << 5) | (period & 0x0F));  // tone latch
    W(kDcsg, 0, 0x00, period >> 4);                         // data byte
    W(kDcsg, 0, 0x00, 0x90 | (c << 5) | Pick(16));          // attenuation
    if (Pick(8) == 0) W(kDcsg, 0, 0x00, 0xE0 | Pick(8));   // noise
  }

  S98Builder& b_;
  std::mt19937 rng_;
  int writes_ = 0;
  int pendingWrites_ = 0;
};

// The VGM twin of a log the builder wrote (devices OPNA, OPM, DCSG; a tick of one sample): the same
// writes and the same waits in the same order, command for command, so the two cost per command alike.
std::vector<std::uint8_t> VgmTwin(const std::vector<std::uint8_t>& s98) {
  tavrin::testing::VgmBuilder b;
  b.Clock(0x48, 7987200).Clock(0x30, 3579545).Clock(0x0C, 3579545);
  const auto at32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(s98[at] | s98[at + 1] << 8 | s98[at + 2] << 16) |
           static_cast<std::uint32_t>(s98[at + 3]) << 24;
  };
  const std::uint32_t loop = at32(0x18);
  for (std::size_t at = at32(0x14); at < s98.size();) {
    if (at == loop) b.LoopHere();
    const std::uint8_t c = s98[at];
    if (c == 0xFD) break;
    if (c == 0xFF) {
      b.Wait(1);
      ++at;
    } else if (c == 0xFE) {
      std::uint32_t value = 0;
      std::uint32_t shift = 0;
      do {
        value |= static_cast<std::uint32_t>(s98[++at] & 0x7F) << shift;
        shift += 7;
      } while (s98[at] & 0x80);
      ++at;
      b.Wait(value + 2);
    } else {
      const int device = c >> 1;
      const std::uint8_t reg = s98[at + 1], value = s98[at + 2];
      if (device == kOpna) b.Command({static_cast<std::uint8_t>(0x56 + (c & 1)), reg, value});
      if (device == kOpm) b.Command({0x54, reg, value});
      if (device == kDcsg) b.Command({static_cast<std::uint8_t>(reg == 1 ? 0x4F : 0x50), value});
      at += 3;
    }
  }
  b.End();
  return b.Build();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: tavrin-bench-generate OUT.s98 [WRITES (default 1000000)] [SEED]\n");
    return 2;
  }
  const long target = argc >= 3 ? std::strtol(argv[2], nullptr, 10) : 1000000;
  const auto seed = static_cast<std::uint32_t>(argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 1);
  S98Builder b;
  // A tick is a sample at 44,100 Hz, as in VGM: every wait of the log is one VGM wait.
  b.Timer(1, 44100).Device(4, 7987200, 0x03).Device(5, 3579545, 0x03).Device(16, 3579545, 0x00);
  SongWriter song(b, seed);
  while (song.writes() < target / 10) {
    song.Step();
    song.MaybeWait();
  }
  b.LoopHere();
  while (song.writes() < target) {
    song.Step();
    song.MaybeWait();
  }
  b.End();
  const std::string name = argv[1];
  const auto bytes = name.ends_with(".vgm") ? VgmTwin(b.Build()) : b.Build();
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) return 1;
  std::printf("%d\n", song.writes());
  return 0;
}
