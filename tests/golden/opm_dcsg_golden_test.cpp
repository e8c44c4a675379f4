// Whole verbose reports of a small OPM file and a small DCSG file, compared with their reviewed copies.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "tests/support/golden.h"
#include "tests/support/s98_builder.h"

namespace tavrin {
namespace {

using testing::ExpectMatchesGolden;
using testing::S98Builder;

constexpr std::uint32_t kOpmType = 5;
constexpr std::uint32_t kDcsgType = 16;

std::string VerboseReport(const std::vector<std::uint8_t>& bytes, const char* name) {
  std::string report;
  const std::string status = ConvertS98Bytes(bytes, name, ConversionOptions{.verbose = true}, report);
  EXPECT_EQ(status, "");
  return report;
}

// Two OPM devices: global set-up, one voice on channel 0 with a note, key on and off, and timer A
// assembled on both devices apart (device #01 on its second port, which the chip does not have).
TEST(OpmDcsgGolden, OpmReport) {
  S98Builder b;
  b.Device(kOpmType, 4000000, 0x03).Device(kOpmType, 3579545);
  b.Write(0, 0, 0x01, 0x02).Write(0, 0, 0x01, 0x00);
  b.Write(0, 0, 0x0F, 0x00).Write(0, 0, 0x18, 0xC8).Write(0, 0, 0x19, 0x7F).Write(0, 0, 0x19, 0x8A);
  b.Write(0, 0, 0x1B, 0x02);
  b.Write(0, 0, 0x10, 0xC8).Write(0, 0, 0x11, 0x01).Write(0, 0, 0x12, 0xE0).Write(0, 0, 0x14, 0x15);
  b.Write(0, 0, 0x20, 0xC7).Write(0, 0, 0x38, 0x21);
  b.Write(0, 0, 0x40, 0x71).Write(0, 0, 0x48, 0x0D).Write(0, 0, 0x50, 0x33).Write(0, 0, 0x58, 0x01);
  b.Write(0, 0, 0x60, 0x23).Write(0, 0, 0x78, 0x00).Write(0, 0, 0x80, 0x5F).Write(0, 0, 0x98, 0x94);
  b.Write(0, 0, 0xA0, 0x05).Write(0, 0, 0xA8, 0x85).Write(0, 0, 0xC8, 0x42).Write(0, 0, 0xD0, 0x02);
  b.Write(0, 0, 0xE0, 0x11).Write(0, 0, 0xF8, 0xA6);
  b.LoopHere();
  b.Write(0, 0, 0x28, 0x4A).Write(0, 0, 0x30, 0x10).Write(0, 0, 0x08, 0x78);
  b.Wait(1);
  b.Write(0, 0, 0x08, 0x00).Write(0, 0, 0x13, 0x55);
  b.Write(1, 1, 0x10, 0x01).Write(1, 0, 0x11, 0x03).Write(0, 0, 0x11, 0x02);
  b.Write(1, 0, 0x14, 0xAA).Write(1, 0, 0x0F, 0x9F).Write(1, 0, 0x2F, 0x0E).Write(1, 0, 0x08, 0x0F);
  b.Wait(3);
  b.End();
  ExpectMatchesGolden("opm.txt", VerboseReport(b.Build(), "opm.s98"));
}

// Two DCSG devices: tone, attenuation and noise commands, data bytes after each kind of command,
// and a second device with its own latch: its first data byte finds no tone command.
TEST(OpmDcsgGolden, DcsgReport) {
  S98Builder b;
  b.Device(kDcsgType, 3579545).Device(kDcsgType, 3579545);
  b.Write(0, 0, 0x00, 0x9F).Write(0, 0, 0x00, 0xBF).Write(0, 0, 0x00, 0xDF).Write(0, 0, 0x00, 0xFF);
  b.Write(0, 0, 0x00, 0x8E).Write(0, 0, 0x00, 0x0F).Write(0, 0, 0x00, 0x90);
  b.Write(0, 0, 0x00, 0x15);  // data after an attenuation command: the chip takes it, no tone changes
  b.LoopHere();
  b.Write(0, 0, 0x00, 0xA5).Write(0, 0, 0x00, 0x1A).Write(0, 0, 0x00, 0x7A);
  b.Write(1, 0, 0x00, 0x3F);  // device #01 has latched nothing, whatever device #00 has
  b.Write(1, 0, 0x00, 0xC3).Write(0, 0, 0x00, 0x02).Write(1, 0, 0x00, 0x21);
  b.Write(0, 0, 0x00, 0xB3);
  b.Wait(2);
  b.Write(0, 0, 0x00, 0xE4).Write(0, 0, 0x00, 0x3F).Write(0, 0, 0x00, 0xF6);
  b.Write(0, 0, 0x00, 0x80).Write(0, 0, 0x00, 0x05);
  b.Wait(1);
  b.End();
  ExpectMatchesGolden("dcsg.txt", VerboseReport(b.Build(), "dcsg.s98"));
}

}  // namespace
}  // namespace tavrin
