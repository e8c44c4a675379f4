// Writes a small S98 file of the project's own, touching every chip family, for `make demo`.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/support/s98_builder.h"

int main(int argc, char** argv) {
  static constexpr char kUsage[] = "usage: tavrin-make-sample OUT.s98   (a name starting with '-': ./-name.s98)\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // Anything else that looks like an option is one this program does not have, not a file to create.
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  using tavrin::testing::S98Builder;
  S98Builder b;
  b.Device(4, 7987200, 0x03)   // #00 OPNA
      .Device(5, 3579545, 0x03)   // #01 OPM
      .Device(16, 3579545, 0x00)  // #02 DCSG
      .Device(9, 14318180, 0x03)  // #03 OPL3
      .Device(6, 3579545, 0x00);  // #04 OPLL
  b.Write(0, 0, 0x29, 0x80)            // OPNA: FM channels 4-6 on
      .Write(0, 0, 0xB4, 0xC0)         // FM#0 both speakers
      .Write(0, 0, 0xB0, 0x32)         // feedback 6, algorithm 2
      .Write(0, 0, 0x40, 0x1C)         // slot 1 total level
      .Write(0, 0, 0xA4, 0x22)         // block 4, F-number high bits
      .Write(0, 0, 0xA0, 0x69)         // F-number low bits: A4
      .LoopHere()
      .Write(0, 0, 0x28, 0xF0)         // key on all slots of FM#0
      .Write(0, 0, 0x07, 0x38)         // SSG: tones on, noise off
      .Write(0, 0, 0x08, 0x0F)         // SSG#0 full volume
      .Write(0, 0, 0x10, 0x01)         // rhythm: bass drum
      .Write(0, 1, 0x01, 0xC0)         // ADPCM: both speakers
      .Wait(1)
      .Write(1, 0, 0x20, 0xC7)         // OPM FM#0 L R, algorithm 7
      .Write(1, 0, 0x28, 0x4A)         // key code: octave 5, a
      .Write(1, 0, 0x08, 0x78)         // key on
      .Wait(10)
      .Write(2, 0, 0x00, 0x8E)         // DCSG tone 0 low bits
      .Write(2, 0, 0x00, 0x0F)         // and high bits
      .Write(2, 0, 0x00, 0x90)         // full volume
      .Write(3, 1, 0x05, 0x01)         // OPL3 mode
      .Write(3, 0, 0xA0, 0x41)         // OPL3 FM#00 F-number low
      .Write(3, 0, 0xB0, 0x2D)         // block 3, key on
      .Write(4, 0, 0x30, 0x15)         // OPLL FM#0 violin
      .Write(4, 0, 0x20, 0x3B)         // key on with sustain
      .Wait(200)
      .End();
  const auto bytes = b.Build();
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out.good() ? 0 : 1;
}
