// Writes a small S98 file (one OPNA device, a few key-on writes) for the window tests' scripts.
#include <cstdio>
#include <fstream>

#include "tests/support/s98_builder.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.s98...\n", argv[0]);
    return 2;
  }
  const auto bytes = tavrin::testing::KeyOnSong().Build();
  for (int i = 1; i < argc; ++i) {
    std::ofstream out(argv[i], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
