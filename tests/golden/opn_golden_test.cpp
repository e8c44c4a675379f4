// Whole verbose report of a small OPNA + OPN2 song against its reviewed copy in tests/golden/opn.txt.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "tests/support/golden.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

// Device 0 is an OPNA touching every part of its map; device 1 is a YM2612 that only plays its DAC,
// so its record must not pick up device 0's writes.
std::vector<std::uint8_t> BuildSong() {
  testing::S98Builder b;
  b.Device(4, 7987200, 0x03).Device(3, 7670454);

  // Timers, mode and IRQs; then the same addresses on port 1, which decode nothing.
  b.Write(0, 0, 0x22, 0x08).Write(0, 0, 0x29, 0x83).Write(0, 0, 0x24, 0xFF).Write(0, 0, 0x25, 0x02);
  b.Write(0, 0, 0x26, 0xC8).Write(0, 0, 0x27, 0x3F).Write(0, 0, 0x2D, 0x00).Write(0, 0, 0x2E, 0x00);
  b.Write(0, 1, 0x24, 0x12).Write(0, 1, 0x27, 0x40);

  // A voice on FM#0: one row of each operator register, then F-number and key on.
  const unsigned char voice[][4] = {
      {0x71, 0x0D, 0x33, 0x01}, {0x23, 0x2D, 0x26, 0x00}, {0x5F, 0x99, 0x5F, 0x94}, {0x05, 0x85, 0x05, 0x07},
      {0x02, 0x02, 0x02, 0x02}, {0x11, 0x11, 0x11, 0xA6}, {0x00, 0x00, 0x00, 0x0F}};
  for (unsigned row = 0; row < 7; ++row) {
    for (unsigned slot = 0; slot < 4; ++slot) {
      b.Write(0, 0, static_cast<std::uint8_t>(0x30 + row * 0x10 + slot * 4), voice[row][slot]);
    }
  }
  b.Write(0, 0, 0xB0, 0x32).Write(0, 0, 0xB4, 0xC0).Write(0, 0, 0xA4, 0x22).Write(0, 0, 0xA0, 0x69);
  b.Write(0, 0, 0x28, 0xF0).Wait(1);

  // FM#2 in effect mode: per-slot F-numbers, slot 4 through $A2/$A6, and slot 1's entry seen again
  // from port 1's FM#3, which shares it.
  b.Write(0, 0, 0x27, 0x40).Write(0, 0, 0xAD, 0x2D).Write(0, 0, 0xA9, 0x11).Write(0, 0, 0xAE, 0x1A);
  b.Write(0, 0, 0xAA, 0x22).Write(0, 0, 0xAC, 0x0B).Write(0, 0, 0xA8, 0x33).Write(0, 0, 0xA6, 0x24);
  b.Write(0, 0, 0xA2, 0x44).Write(0, 1, 0xA0, 0x11).Write(0, 0, 0x28, 0xF2).Write(0, 0, 0xAB, 0x00);

  // Port 1: FM#3..FM#5, key on through code 4, and a gap address.
  b.Write(0, 1, 0x42, 0x7F).Write(0, 1, 0x5D, 0x1F).Write(0, 1, 0xB1, 0x07).Write(0, 1, 0xB6, 0x80);
  b.Write(0, 1, 0xA5, 0x13).Write(0, 1, 0xA1, 0x55).Write(0, 0, 0x28, 0x35).Write(0, 1, 0x33, 0xFF);
  b.Wait(10);

  // SSG: tone, noise, mixer, volumes, envelope.
  b.LoopHere();
  b.Write(0, 0, 0x00, 0x34).Write(0, 0, 0x01, 0x12).Write(0, 0, 0x06, 0x1F).Write(0, 0, 0x07, 0x36);
  b.Write(0, 0, 0x08, 0x0F).Write(0, 0, 0x09, 0x10).Write(0, 0, 0x0B, 0x80).Write(0, 0, 0x0C, 0x01);
  b.Write(0, 0, 0x0D, 0x0E).Write(0, 0, 0x0E, 0xFF).Wait(2);

  // Rhythm: levels, key on and dump; the level address on port 1 decodes nothing.
  b.Write(0, 0, 0x11, 0x3F).Write(0, 0, 0x18, 0xDF).Write(0, 0, 0x1D, 0x5C).Write(0, 0, 0x10, 0x21);
  b.Write(0, 0, 0x10, 0xA1).Write(0, 1, 0x18, 0xDF).Wait(1);

  // ADPCM on port 1: playback set-up from memory, then the flag control.
  b.Write(0, 1, 0x00, 0x01).Write(0, 1, 0x01, 0xC2).Write(0, 1, 0x02, 0x00).Write(0, 1, 0x03, 0x10);
  b.Write(0, 1, 0x04, 0xFF).Write(0, 1, 0x05, 0x1F).Write(0, 1, 0x07, 0xF3).Write(0, 1, 0x06, 0x40);
  b.Write(0, 1, 0x09, 0x34).Write(0, 1, 0x0A, 0x12).Write(0, 1, 0x0B, 0x80).Write(0, 1, 0x0C, 0xFF);
  b.Write(0, 1, 0x0D, 0xFF).Write(0, 1, 0x10, 0x1B).Write(0, 1, 0x00, 0xA0).Write(0, 1, 0x10, 0x80);

  // The OPN2's DAC: silent until enabled, on either port.
  b.Write(1, 0, 0x2A, 0x80).Write(1, 0, 0x2B, 0x80).Write(1, 0, 0x2A, 0x81).Write(1, 1, 0x2A, 0x7F);
  b.Write(1, 1, 0x2B, 0x00).Write(1, 0, 0x2A, 0x10).Write(1, 0, 0xA0, 0x69).Write(1, 0, 0xB7, 0x00);
  b.Wait(130).End();
  return b.Build();
}

TEST(OpnGolden, OpnaAndOpn2SongMatchesReviewedReport) {
  const std::vector<std::uint8_t> bytes = BuildSong();
  std::string report;
  const std::string status =
      ConvertS98Bytes(bytes, "opn_song.s98", ConversionOptions{.verbose = true}, report);
  ASSERT_EQ(status, "");
  testing::ExpectMatchesGolden("opn.txt", report);
}

}  // namespace
}  // namespace tavrin
