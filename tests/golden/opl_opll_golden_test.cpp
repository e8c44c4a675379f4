// Whole verbose reports of a small OPL3 file and a small OPLL file, compared with their reviewed copies.
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

constexpr std::uint32_t kOpllType = 6;
constexpr std::uint32_t kOplType = 7;
constexpr std::uint32_t kOpl3Type = 9;

std::string VerboseReport(const std::vector<std::uint8_t>& bytes, const char* name) {
  std::string report;
  const std::string status = ConvertS98Bytes(bytes, name, ConversionOptions{.verbose = true}, report);
  EXPECT_EQ(status, "");
  return report;
}

// An OPL3 that writes its second bank before, during and after OPL3 mode, next to an OPL that gets
// second-bank writes of its own: system registers, one 2-op voice per bank, notes, rhythm, and the
// registers the chip leaves unused.
TEST(OplOpllGolden, OplReport) {
  S98Builder b;
  b.Device(kOpl3Type, 14318180, 0x03).Device(kOplType, 3579545);
  // Set-up in OPL2 mode: the first second-bank write carries the warning.
  b.Write(0, 0, 0x01, 0x20).Write(0, 0, 0x02, 0x05).Write(0, 0, 0x03, 0xFF).Write(0, 0, 0x04, 0x80);
  b.Write(0, 0, 0x04, 0x60).Write(0, 0, 0x08, 0x40);
  b.Write(0, 1, 0xA0, 0x22);
  b.Write(0, 1, 0x05, 0x01).Write(0, 1, 0x04, 0x05).Write(0, 1, 0x01, 0xFF);
  // Channel 0 of bank 0 and channel 9 (bank 1, offset 0) with the same 2-op voice.
  b.Write(0, 0, 0x20, 0xA1).Write(0, 0, 0x23, 0x51).Write(0, 0, 0x40, 0x9C).Write(0, 0, 0x43, 0x00);
  b.Write(0, 0, 0x60, 0xF2).Write(0, 0, 0x63, 0xF4).Write(0, 0, 0x80, 0x3C).Write(0, 0, 0x83, 0x27);
  b.Write(0, 0, 0xE0, 0x05).Write(0, 0, 0xE3, 0x02).Write(0, 0, 0xC0, 0x31);
  b.Write(0, 1, 0x20, 0x01).Write(0, 1, 0x23, 0x01).Write(0, 1, 0x75, 0x11).Write(0, 1, 0xF5, 0x07);
  b.Write(0, 1, 0xC0, 0xFE);
  b.LoopHere();
  // Notes: the high part joins the low byte latched for the same channel of the same bank.
  b.Write(0, 0, 0xA3, 0x41).Write(0, 0, 0xB3, 0x2D).Write(0, 1, 0xB0, 0x31);
  b.Write(0, 0, 0xB0, 0x01);
  b.Wait(1);
  b.Write(0, 0, 0xBD, 0xE8).Write(0, 0, 0xBD, 0x3F).Write(0, 0, 0xBD, 0x00);
  // The other device stays in OPL2 mode whatever the OPL3 does; its latches are its own.
  b.Write(1, 1, 0x48, 0x00).Write(1, 0, 0xB3, 0x01).Write(1, 1, 0x05, 0x00);
  // Back to OPL2 mode: the warning returns and the waveform loses its third bit.
  b.Write(0, 1, 0x05, 0x00).Write(0, 1, 0xE0, 0x07).Write(0, 0, 0xE0, 0x07);
  // Unused registers: the raw part of the line only.
  b.Write(0, 0, 0x26, 0x00).Write(0, 1, 0xBD, 0xFF).Write(0, 0, 0x05, 0x01).Write(0, 1, 0x02, 0x10);
  b.Write(0, 0, 0xA9, 0x00).Write(0, 1, 0xF6, 0x00);
  b.Wait(2);
  b.End();
  ExpectMatchesGolden("opl.txt", VerboseReport(b.Build(), "opl.s98"));
}

// Two OPLLs: the user voice, melody notes, rhythm mode on the first device only, writes with the
// port bit set, and unused registers.
TEST(OplOpllGolden, OpllReport) {
  S98Builder b;
  b.Device(kOpllType, 3579545).Device(kOpllType, 3579545, 0x02);
  b.Write(0, 0, 0x00, 0x61).Write(0, 0, 0x01, 0x21).Write(0, 0, 0x02, 0x1E).Write(0, 0, 0x03, 0xD5);
  b.Write(0, 0, 0x04, 0xF0).Write(0, 0, 0x05, 0xF4).Write(0, 0, 0x06, 0x0F).Write(0, 0, 0x07, 0x24);
  b.Write(0, 0, 0x0F, 0x00);
  b.LoopHere();
  b.Write(0, 0, 0x30, 0x15).Write(0, 0, 0x10, 0xAC).Write(0, 0, 0x20, 0x3B).Write(0, 0, 0x10, 0xAD);
  b.Write(0, 0, 0x31, 0x0A).Write(0, 0, 0x11, 0xFF).Write(0, 0, 0x21, 0x13);
  b.Wait(1);
  b.Write(0, 0, 0x0E, 0x20).Write(0, 0, 0x36, 0x2A).Write(0, 0, 0x37, 0xA5).Write(0, 0, 0x38, 0x3C);
  b.Write(0, 0, 0x0E, 0x21);
  // The second device has no rhythm mode of its own yet; the port bit changes nothing.
  b.Write(1, 0, 0x36, 0x2A).Write(1, 1, 0x38, 0xB0).Write(1, 1, 0x0E, 0x3F).Write(1, 0, 0x37, 0x5A);
  b.Write(0, 0, 0x0E, 0x00).Write(0, 0, 0x36, 0x2A);
  b.Write(0, 0, 0x08, 0x00).Write(0, 0, 0x19, 0x00).Write(0, 0, 0x29, 0x00).Write(0, 0, 0x39, 0x00);
  b.Wait(2);
  b.End();
  ExpectMatchesGolden("opll.txt", VerboseReport(b.Build(), "opll.s98"));
}

}  // namespace
}  // namespace tavrin
