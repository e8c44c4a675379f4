// Writes a small song (one OPNA device, a few key-on writes) for the window tests' scripts: an S98
// file, or the same writes as a VGM file for a name ending in .vgm, gzip-compressed for .vgz.
#include <cstdio>
#include <fstream>
#include <string_view>

#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.s98|OUTPUT.vgm|OUTPUT.vgz...\n", argv[0]);
    return 2;
  }
  const auto s98 = tavrin::testing::KeyOnSong().Build();
  tavrin::testing::VgmBuilder vgm;
  vgm.Clock(0x48, 7987200).Command({0x56, 0x28, 0xF1}).Wait(1).Command({0x56, 0x28, 0x01}).End();
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    const auto bytes = name.ends_with(".vgz") ? vgm.BuildGzip() : name.ends_with(".vgm") ? vgm.Build() : s98;
    std::ofstream out(argv[i], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
