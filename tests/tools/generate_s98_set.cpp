// Writes a reproducible set of varied S98 files, mostly sound and some hostile, for comparing builds,
// each with a VGM twin of the same music (every fourth gzip-compressed).
//
// usage: tavrin-generate-s98-set FOLDER [COUNT (default 2000)] [SEED (default 1)]
//
// File k of a seed is the same whatever COUNT is, so a difference found in a big set can be replayed
// from a small one. Names say what a file holds (g0042-opna-opm-tagbefore-tagsjis-cut-h.s98, -h for hostile), so a differing
// file is recognised from the summary of tests/tools/compare-builds.sh alone.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/s98_builder.h"
#include "tests/support/vgm_builder.h"

namespace {

namespace fs = std::filesystem;
using tavrin::testing::S98Builder;
using Bytes = std::vector<std::uint8_t>;

// splitmix64: the same numbers on every compiler and library, unlike the standard distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }
  // Index of the weight that a draw falls on.
  int Weighted(std::initializer_list<int> weights) {
    int total = 0;
    for (int w : weights) total += w;
    int draw = Below(total);
    int index = 0;
    for (int w : weights) {
      if (draw < w) return index;
      draw -= w;
      ++index;
    }
    return index - 1;
  }
  template <typename T>
  T Of(std::initializer_list<T> items) {
    return items.begin()[Below(static_cast<int>(items.size()))];
  }
  template <typename T, std::size_t N>
  const T& From(const T (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  std::uint64_t state_;
};

std::uint8_t U8(int v) { return static_cast<std::uint8_t>(v); }

void PutLE32At(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes.size()) return;
  for (int i = 0; i < 4; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t LE32At(const Bytes& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[offset + static_cast<std::size_t>(i)]) << (8 * i);
  return v;
}
constexpr std::size_t kTagOffsetField = 16, kDataOffsetField = 20, kLoopOffsetField = 24, kDeviceCountField = 28;

// Device type codes as the device list has them; 10 to 14 and everything above 16 have no decoder.
constexpr std::uint32_t kPsg = 1, kOpn = 2, kOpn2 = 3, kOpna = 4, kOpm = 5, kOpll = 6, kOpl = 7, kOpl2 = 8,
                        kOpl3 = 9, kAy = 15, kDcsg = 16;

std::string ShortName(std::uint32_t type) {
  static const char* const names[] = {"none", "psg", "opn",  "opn2", "opna", "opm", "opll", "opl",  "opl2",
                                      "opl3", "t10", "t11",  "t12",  "t13",  "t14", "ay",   "dcsg"};
  return type < 17 ? names[type] : "unk";
}

std::uint32_t TypicalClock(std::uint32_t type, Rng& rng) {
  switch (type) {
    case kPsg: return rng.Of<std::uint32_t>({2000000, 4000000, 1996800});
    case kOpn: return rng.Of<std::uint32_t>({3993600, 4000000, 3000000});
    case kOpn2: return rng.Of<std::uint32_t>({7670453, 7670454, 7600489});
    case kOpna: return rng.Of<std::uint32_t>({7987200, 8000000});
    case kOpm: return rng.Of<std::uint32_t>({3579545, 4000000});
    case kOpll: return rng.Of<std::uint32_t>({3579545, 3546893});
    case kOpl: case kOpl2: return rng.Of<std::uint32_t>({3579545, 3000000});
    case kOpl3: return rng.Of<std::uint32_t>({14318180, 14318181});
    case kAy: return rng.Of<std::uint32_t>({1789773, 1773400, 2000000});
    case kDcsg: return rng.Of<std::uint32_t>({3579545, 4000000, 3072000});
    default: return rng.Of<std::uint32_t>({4000000, 3579545, 0});
  }
}

// Register traffic shaped like what sound drivers write to each family.
class Traffic {
 public:
  // A sloppy log also writes port 1 of chips that have one port; long waits take three to six count
  // bytes (past five, the count runs beyond 32 bits).
  Traffic(S98Builder& b, Rng& rng, bool sloppy, bool longWaits)
      : b_(b), rng_(rng), sloppy_(sloppy), longWaits_(longWaits) {}

  void Phrase(int device, std::uint32_t type) {
    switch (type) {
      case kOpn: case kOpn2: case kOpna: OpnPhrase(device, type); break;
      case kPsg: case kAy: Ssg(device); break;
      case kOpm: OpmPhrase(device); break;
      case kOpll: OpllPhrase(device); break;
      case kOpl: case kOpl2: case kOpl3: OplPhrase(device, type); break;
      case kDcsg: DcsgPhrase(device); break;
      default: Noise(device, 2); break;
    }
    // A driver bug or a log of the wrong chip: port 1 on a one-port chip, or any register at all.
    if (sloppy_ && rng_.Chance(10)) Any(device, 1);
    if (rng_.Chance(4)) Noise(device, 1);
  }

  // 0xFF, or 0xFE with one to six count bytes (every byte but the last has its continuation bit).
  void Wait() {
    const int kind = longWaits_ ? rng_.Weighted({40, 20, 10, 10, 8, 6, 6}) : rng_.Weighted({60, 28, 12});
    if (kind == 0) {
      b_.Wait(1);
      return;
    }
    Bytes bytes = {0xFE};
    for (int i = 1; i < kind; ++i) bytes.push_back(U8(0x80 | rng_.Byte()));
    // Short waits mostly; now and then a count byte of zero or with high bits.
    bytes.push_back(U8(kind == 1 && rng_.Chance(70) ? rng_.Below(40) : rng_.Below(128)));
    b_.Raw(bytes);
  }

 private:
  // Draws are made one statement at a time: the order in which a call's arguments are evaluated is
  // the compiler's choice, and the files must not depend on it.
  void W(int device, int port, int reg, int value) { b_.Write(device, port, U8(reg), U8(value)); }
  void WriteRandomValue(int device, int port, int reg) { W(device, port, reg, rng_.Byte()); }
  void Any(int device, int port) { WriteRandomValue(device, port, rng_.Byte()); }
  // A value with `highBits` random bits at `shift` above `lowBits` random bits.
  int Fields(int highBits, int shift, int lowBits) {
    const int high = rng_.Below(1 << highBits) << shift;
    return high | rng_.Below(1 << lowBits);
  }
  void Noise(int device, int count) {
    for (int i = 0; i < count; ++i) Any(device, sloppy_ && rng_.Chance(20) ? 1 : 0);
  }

  // OPN, OPN2, OPNA: FM channels 0-2 on port 0, 3-5 on port 1 (not on the OPN); SSG on OPN and OPNA;
  // rhythm and ADPCM on the OPNA only.
  void OpnPhrase(int device, std::uint32_t type) {
    const int channels = type == kOpn ? 3 : 6;
    const int ch = rng_.Below(channels);
    const int port = ch / 3, c = ch % 3;
    const int channelCode = c | (port << 2);
    switch (rng_.Weighted({40, 12, 6, 5, 14, 8, 8, 7})) {
      case 0: {  // a note: key off, levels, F-number pair (high byte latched first), key on
        W(device, 0, 0x28, channelCode);
        for (int slot = 0; slot < 4; slot += rng_.Between(1, 3)) W(device, port, 0x40 + slot * 4 + c, rng_.Below(128));
        const int fnum = 0x200 + rng_.Below(0x200);
        W(device, port, 0xA4 + c, (rng_.Below(8) << 3) | (fnum >> 8));
        W(device, port, 0xA0 + c, fnum & 0xFF);
        if (rng_.Chance(10)) W(device, port, 0xA0 + c, rng_.Byte());  // F-NUM1 again without its latch
        W(device, 0, 0x28, (rng_.Chance(80) ? 0xF0 : rng_.Below(16) << 4) | channelCode);
        break;
      }
      case 1:  // a voice
        for (int row = 0x30; row <= 0x90; row += 0x10) {
          for (int slot = 0; slot < 4; ++slot) W(device, port, row + slot * 4 + c, rng_.Byte());
        }
        W(device, port, 0xB0 + c, rng_.Below(64));
        W(device, port, 0xB4 + c, Fields(2, 6, 6));
        break;
      case 2:  // channel 3 special mode: $27 and the operator F-number pairs $AC-$AE / $A8-$AA
        W(device, 0, 0x27, rng_.Of({0x40, 0x45, 0x00, 0x80, 0x3F}));
        for (int op = 0; op < 3; ++op) {
          W(device, 0, 0xAC + op, rng_.Below(64));
          W(device, 0, 0xA8 + op, rng_.Byte());
        }
        break;
      case 3:  // globals: LFO, timers, prescaler, six-channel mode, OPN2 DAC
        WriteRandomValue(device, 0, rng_.Of({0x22, 0x24, 0x25, 0x26, 0x27, 0x29, 0x2D, 0x2E, 0x2F, 0x2A, 0x2B}));
        break;
      case 4:
        if (type != kOpn2) Ssg(device);
        else W(device, 0, 0x2A, rng_.Byte());  // DAC samples
        break;
      case 5:  // rhythm: levels, then keys in $10 (bit 7 set damps instead)
        W(device, 0, 0x11, rng_.Below(64));
        {
          const int instrument = rng_.Below(6);
          W(device, 0, 0x18 + instrument, Fields(2, 6, 5));
        }
        W(device, 0, 0x10, rng_.Chance(80) ? 1 << rng_.Below(6) : rng_.Byte());
        break;
      case 6: Adpcm(device); break;
      default:  // registers that mean different things per chip and port
        {
          const int anyPort = type == kOpn ? 0 : rng_.Below(2);
          WriteRandomValue(device, anyPort, rng_.Of({0x28, 0xA0, 0xA4, 0xB4, 0x10, 0x00, 0x0E, 0x0F}));
        }
        break;
    }
  }

  void Ssg(int device) {
    const int c = rng_.Below(3);
    switch (rng_.Weighted({50, 15, 15, 10, 10})) {
      case 0: {
        const int period = rng_.Chance(5) ? rng_.Below(2) : 0x20 + rng_.Below(0xFE0);
        W(device, 0, c * 2, period & 0xFF);
        W(device, 0, c * 2 + 1, period >> 8);
        W(device, 0, 0x08 + c, rng_.Chance(15) ? 0x10 : rng_.Below(16));
        break;
      }
      case 1: W(device, 0, 0x07, rng_.Of({0x38, 0x3E, 0x36, 0x00, 0xFF, 0x3F})); break;
      case 2: W(device, 0, 0x06, rng_.Below(64)); break;
      case 3:  // envelope period and shape
        W(device, 0, 0x0B, rng_.Byte());
        W(device, 0, 0x0C, rng_.Byte());
        W(device, 0, 0x0D, rng_.Below(16));
        break;
      default: WriteRandomValue(device, 0, rng_.Between(0x0E, 0x1F)); break;  // I/O ports and beyond
    }
  }

  void Adpcm(int device) {
    const int start = rng_.Below(0x10000);
    W(device, 1, 0x00, 0x01);
    W(device, 1, 0x01, rng_.Of({0xC0, 0x80, 0x40, 0xC2}));
    W(device, 1, 0x02, start & 0xFF);
    W(device, 1, 0x03, start >> 8);
    W(device, 1, 0x04, 0xFF);
    W(device, 1, 0x05, ((start >> 8) + 0x10) & 0xFF);
    if (rng_.Chance(30)) {
      W(device, 1, 0x06, rng_.Byte());
      W(device, 1, 0x07, rng_.Byte());
      W(device, 1, 0x08, rng_.Byte());
      W(device, 1, 0x0C, rng_.Byte());
      W(device, 1, 0x0D, rng_.Byte());
      W(device, 1, 0x0E, rng_.Byte());
      W(device, 1, 0x10, rng_.Of({0x80, 0x1F, 0x00}));
    }
    W(device, 1, 0x09, rng_.Byte());
    W(device, 1, 0x0A, rng_.Byte());
    W(device, 1, 0x0B, rng_.Byte());
    W(device, 1, 0x00, rng_.Of({0xA0, 0x80, 0x60, 0x00, 0x21}));
  }

  void OpmPhrase(int device) {
    const int ch = rng_.Below(8);
    switch (rng_.Weighted({55, 15, 15, 15})) {
      case 0:  // a note: key off, key code (notes 0-14 skip every fourth), fraction, level, key on
        W(device, 0, 0x08, ch);
      {
        const int octave = rng_.Below(8) << 4;
        W(device, 0, 0x28 + ch, octave | (rng_.Chance(90) ? rng_.Of({0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14}) : 15));
        W(device, 0, 0x30 + ch, rng_.Below(64) << 2);
        const int slot = rng_.Below(4);
        W(device, 0, 0x60 + ch + 8 * slot, rng_.Below(128));
        W(device, 0, 0x08, (rng_.Chance(80) ? 0x78 : rng_.Below(16) << 3) | ch);
        break;
      }
      case 1:  // a voice
        W(device, 0, 0x20 + ch, rng_.Byte());
        W(device, 0, 0x38 + ch, rng_.Byte());
        for (int row = 0x40; row <= 0xE0; row += 0x20) WriteRandomValue(device, 0, row + ch + 8 * rng_.Below(4));
        break;
      case 2:  // LFO, noise, timers, test
        WriteRandomValue(device, 0, rng_.Of({0x01, 0x0F, 0x10, 0x11, 0x12, 0x14, 0x18, 0x19, 0x1B}));
        break;
      default: Any(device, 0); break;
    }
  }

  // OPL3: channels 9-17 on port 1; $105 bit 0 opens the second bank, $104 pairs channels into four operators.
  void OplPhrase(int device, std::uint32_t type) {
    const int port = type == kOpl3 && rng_.Chance(40) ? 1 : 0;
    const int ch = rng_.Below(9);
    static const int kSlotOffsets[] = {0x00, 0x01, 0x02, 0x08, 0x09, 0x0A, 0x10, 0x11, 0x12};
    switch (rng_.Weighted({50, 15, 10, 10, 8, 7})) {
      case 0: {  // a note: key off, F-number low, block and key on in $B0
        const int fnum = 0x100 + rng_.Below(0x300);
        W(device, port, 0xB0 + ch, (rng_.Below(8) << 2) | (fnum >> 8));
        W(device, port, 0xA0 + ch, fnum & 0xFF);
        W(device, port, 0xB0 + ch, 0x20 | (rng_.Below(8) << 2) | (fnum >> 8));
        break;
      }
      case 1: {  // operators of one channel
        const int slot = kSlotOffsets[ch] + (rng_.Chance(50) ? 3 : 0);
        for (int row : {0x20, 0x40, 0x60, 0x80, 0xE0}) W(device, port, row + slot, rng_.Byte());
        W(device, port, 0xC0 + ch, type == kOpl3 ? rng_.Byte() : rng_.Below(16));
        break;
      }
      case 2:  // rhythm: mode bit 5 and the five instrument keys
        {
          const int depthsAndKeys = Fields(2, 6, 5);
          W(device, 0, 0xBD, depthsAndKeys | (rng_.Chance(80) ? 0x20 : 0));
        }
        break;
      case 3:
        if (type == kOpl3) {
          W(device, 1, 0x05, rng_.Chance(80) ? 0x01 : rng_.Byte());
          W(device, 1, 0x04, rng_.Below(64));
        } else {
          W(device, 0, 0x01, rng_.Of({0x20, 0x00, 0xFF}));
        }
        break;
      case 4: WriteRandomValue(device, port, rng_.Of({0x01, 0x02, 0x03, 0x04, 0x08, 0x05})); break;
      default: Any(device, port); break;
    }
  }

  // OPLL: $0E rhythm, $10-$18 F-number low, $20-$28 sustain/key/block, $30-$38 instrument and volume.
  void OpllPhrase(int device) {
    const int ch = rng_.Below(9);
    switch (rng_.Weighted({50, 15, 15, 10, 10})) {
      case 0: {
        const int fnum = rng_.Below(512);
        W(device, 0, 0x20 + ch, (rng_.Below(8) << 1) | (fnum >> 8));
        W(device, 0, 0x10 + ch, fnum & 0xFF);
        W(device, 0, 0x30 + ch, rng_.Byte());
        const int sustain = rng_.Chance(30) ? 0x20 : 0;
        W(device, 0, 0x20 + ch, sustain | 0x10 | (rng_.Below(8) << 1) | (fnum >> 8));
        break;
      }
      case 1:
        {
          const int keys = rng_.Below(32);
          W(device, 0, 0x0E, keys | (rng_.Chance(80) ? 0x20 : 0));
        }
        WriteRandomValue(device, 0, 0x36 + rng_.Below(3));
        break;
      case 2:  // user instrument
        for (int reg = 0; reg < 8; ++reg) W(device, 0, reg, rng_.Byte());
        break;
      case 3: WriteRandomValue(device, 0, rng_.Of({0x0F, 0x19, 0x29, 0x39, 0x3F, 0x40})); break;
      default: W(device, 0, 0x30 + ch, rng_.Byte()); break;
    }
  }

  // DCSG: the value byte is the chip's data byte; a latch (bit 7) names channel and register, a data
  // byte after a tone latch carries the period's upper six bits. Register byte 1 is the Game Gear stereo byte.
  void DcsgPhrase(int device) {
    const int c = rng_.Below(4);
    const int reg = rng_.Chance(90) ? 0 : rng_.Byte();
    switch (rng_.Weighted({45, 25, 10, 10, 10})) {
      case 0: {
        const int period = rng_.Below(1024);
        W(device, 0, reg, 0x80 | (rng_.Below(3) << 5) | (period & 0x0F));
        W(device, 0, reg, period >> 4);
        break;
      }
      case 1: W(device, 0, reg, 0x90 | (c << 5) | rng_.Below(16)); break;
      case 2: W(device, 0, reg, 0xE0 | rng_.Below(8)); break;
      case 3: W(device, 0, 1, rng_.Byte()); break;
      default: W(device, 0, reg, rng_.Below(128)); break;  // a data byte without a fresh latch
    }
  }

  S98Builder& b_;
  Rng& rng_;
  bool sloppy_;
  bool longWaits_;
};

// Tag text pieces: ASCII, Shift-JIS (code page 932, including its NEC and IBM rows), UTF-8, and broken
// sequences of each.
constexpr std::string_view kAsciiWords[] = {"Opening", "Stage 1", "Boss", "Someone", "1987", "FM Towns",
                                             "PC-98", "loop=yes", "a=b=c", "  spaced  "};
constexpr std::string_view kSjisWords[] = {"\x82\xA0\x82\xA2", "\x83\x41\x83\x43", "\x93\xFA\x96\x7B",
                                            "\xB1\xB2\xB3", "\x81\x5B", "\x87\x40", "\xED\x40", "\xFA\x40"};
constexpr std::string_view kSjisBroken[] = {"\x82", "\x85\x40", "\xA0", "\xFD\xFE", "\x82\x0A"};
constexpr std::string_view kUtf8Words[] = {"\xE3\x81\x82", "\xE6\x97\xA5\xE6\x9C\xAC", "\xC3\xA9",
                                            "\xF0\x9F\x8E\xB5", "\xEF\xBD\xB1"};
constexpr std::string_view kUtf8Broken[] = {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE3\x81"};
constexpr std::string_view kKeys[] = {"title", "artist", "game", "year", "genre", "comment", "copyright",
                                      "s98by", "system", "Title", ""};

std::string TagValue(Rng& rng, bool utf8, bool broken) {
  std::string value;
  const int words = rng.Between(0, 3);
  for (int i = 0; i < words; ++i) {
    const int kind = rng.Below(3);
    if (kind == 0) value += rng.From(kAsciiWords);
    else if (utf8) value += rng.From(kUtf8Words);
    else value += rng.From(kSjisWords);
  }
  if (broken) value += utf8 ? rng.From(kUtf8Broken) : rng.From(kSjisBroken);
  return value;
}

struct TagChoice {
  std::string bytes;
  std::string trait;
};

// A version 3 "[S98]" block, an old version's title, or a block that fits neither.
TagChoice MakeTag(Rng& rng, std::uint8_t version, bool hostile) {
  TagChoice tag;
  const bool keyValue = version == '3' ? !rng.Chance(5) : rng.Chance(15);
  const bool broken = hostile && rng.Chance(50);
  if (keyValue) {
    const bool utf8 = rng.Chance(40);
    tag.bytes = "[S98]";
    if (utf8) tag.bytes += "\xEF\xBB\xBF";
    tag.trait = utf8 ? "tagutf8" : "tagsjis";
    const int lines = rng.Between(0, 7);
    for (int i = 0; i < lines; ++i) {
      if (rng.Chance(5)) {
        tag.bytes += TagValue(rng, utf8, false);  // a line without "="
      } else {
        tag.bytes += rng.From(kKeys);
        tag.bytes += "=";
        tag.bytes += TagValue(rng, utf8, broken && rng.Chance(40));
      }
      tag.bytes += rng.Of<std::string_view>({"\n", "\n", "\n", "\n", "\r\n", "\r", "\n\n"});
    }
  } else {
    tag.bytes = TagValue(rng, false, broken);
    tag.trait = "title";
  }
  if (hostile && rng.Chance(25)) {
    tag.trait += "-unterminated";  // runs to the end of the file
  } else {
    tag.bytes += '\0';
    if (rng.Chance(10)) tag.bytes += "after the NUL\n";
  }
  return tag;
}

struct GeneratedFile {
  std::string name;
  Bytes bytes;
};

// Everything that can go wrong with a file, one of them per hostile file (sometimes two).
enum class Hostility {
  None, ShortHead, BadMagic, HighVersion, DeviceCount, DeviceListCut, DataOffset, TagOffset, LoopOffset,
  Timer, Cut, BytesAfterEnd, Garbage, HugeTag
};

// This file of every set carries a tag block longer than what is shown of it.
constexpr int kHugeTagIndex = 3;

class FileMaker {
 public:
  FileMaker(std::uint32_t seed, int index)
      : rng_(static_cast<std::uint64_t>(seed) * 0x100000001B3u + static_cast<std::uint64_t>(index)), index_(index) {}

  GeneratedFile Make() {
    hostile_ = rng_.Chance(22) || index_ == kHugeTagIndex;
    if (hostile_) {
      first_ = static_cast<Hostility>(rng_.Between(1, 12));
      second_ = rng_.Chance(20) ? static_cast<Hostility>(rng_.Between(1, 12)) : Hostility::None;
      if (index_ == kHugeTagIndex || rng_.Below(400) == 0) first_ = Hostility::HugeTag;
    }
    ChooseHead();
    ChooseDevices();
    WriteDump();
    Bytes bytes = b_.Build();
    PlaceTagBeforeDump(bytes);
    ApplyHostility(bytes);
    return {Name(), std::move(bytes)};
  }

 private:
  bool Is(Hostility h) const { return first_ == h || second_ == h; }
  void Trait(std::string t) { traits_.push_back(std::move(t)); }
  void Trait(std::string prefix, std::size_t number) { Trait(prefix.append(std::to_string(number))); }

  void ChooseHead() {
    if (Is(Hostility::HighVersion)) {
      version_ = rng_.Of<std::uint8_t>({'4', '9', 'A', 0x7F, 0xFF, 0x80});
      Trait("v", version_);
    } else {
      version_ = std::initializer_list<std::uint8_t>{'3', '2', '1', '0', 0x00, 0x01, 0x20, 0x2F}
                     .begin()[rng_.Weighted({55, 12, 18, 8, 3, 1, 2, 1})];
      if (version_ < '0') Trait("v", version_);
    }
    b_.Version(version_);
    // Stored 0 means the default 10/1000; 1/60 and 1/44100 are common in real logs.
    static const std::uint32_t kTimers[][2] = {{0, 0},  {10, 1000}, {1, 60},   {1, 50},  {1, 1},   {441, 44100},
                                               {1, 44100}, {7, 3},   {0, 60},   {10, 0},  {3, 1000}, {65536, 1000000}};
    const int timer = rng_.Weighted({35, 20, 10, 5, 5, 5, 4, 3, 3, 3, 4, 3});
    numerator_ = kTimers[timer][0];
    denominator_ = kTimers[timer][1];
    if (Is(Hostility::Timer)) {
      static const std::uint32_t kOdd[][2] = {{0xFFFFFFFF, 1000}, {10, 0x80000000}, {1, 0x10000000}, {0x7FFFFFFF, 1},
                                              {0x80000000, 0xFFFFFFFF}, {1, 0xFFFFFFFF}, {10, 0x30000000}};
      const auto& odd = rng_.From(kOdd);
      numerator_ = odd[0];
      denominator_ = odd[1];
      Trait("timer");
    }
    b_.Timer(numerator_, denominator_);
  }

  void ChooseDevices() {
    int count = rng_.Weighted({10, 42, 20, 10, 6, 4, 3, 2, 3});  // 0 to 8 records
    // The first files take each type code in turn so that every code is present in any set of 40 or more.
    static const std::uint32_t kCycle[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0x80000000, 0xFFFFFFFF};
    const bool cycling = index_ < 2 * static_cast<int>(std::size(kCycle));
    if (cycling && count == 0) count = 1;
    for (int i = 0; i < count; ++i) {
      std::uint32_t type;
      if (i == 0 && cycling) {
        type = kCycle[index_ % static_cast<int>(std::size(kCycle))];
      } else {
        static const std::uint32_t kCommon[] = {kOpna, kOpn, kOpn2, kPsg, kAy, kOpm, kOpll, kOpl, kOpl2, kOpl3, kDcsg};
        const int kind = rng_.Weighted({91, 2, 4, 3});
        if (kind == 0) type = rng_.From(kCommon);
        else if (kind == 1) type = 0;
        else if (kind == 2) type = static_cast<std::uint32_t>(rng_.Between(10, 14));
        else type = rng_.Of<std::uint32_t>({17, 255, 0x53434350, 0x80000000, 0xFFFFFFFF});
      }
      std::uint32_t clock = TypicalClock(type, rng_);
      if (rng_.Chance(3)) clock = rng_.Of<std::uint32_t>({0, 0xFFFFFFFF, 0x80000000, 1});
      const std::uint32_t pan = rng_.Of<std::uint32_t>({0, 0, 3, 0xFF, 0x1F3, rng_.Next()});
      b_.Device(type, clock, pan);
      types_.push_back(type);
    }
    // Old logs end the list with a NONE record that the count includes.
    if (count > 0 && count < 8 && rng_.Chance(5)) {
      b_.Device(0, 0, 0);
      types_.push_back(0);
    }
    if (types_.empty()) {
      Trait("nodevices");
    } else {
      for (std::size_t i = 0; i < types_.size() && i < 3; ++i) Trait(ShortName(types_[i]));
      if (types_.size() > 3) Trait("x", types_.size());
    }
  }

  // The type a device index reaches: its record, or the OPNA every index means without records.
  std::uint32_t TypeOf(int device) const {
    if (types_.empty()) return kOpna;
    return device < static_cast<int>(types_.size()) ? types_[static_cast<std::size_t>(device)] : 0xFFFFFFFF;
  }

  void WriteDump() {
    const bool sloppy = rng_.Chance(20);
    Traffic traffic(b_, rng_, sloppy, rng_.Chance(8));
    const bool reachPastList = rng_.Chance(types_.empty() ? 30 : 15);
    const int steps = std::initializer_list<int>{0, 10, 50, 200, 800}.begin()[rng_.Weighted({4, 30, 40, 22, 4})];
    const int length = steps == 0 ? 0 : rng_.Between(steps / 2, steps * 3 / 2);
    const int loopKind = rng_.Weighted({55, 38, 7});  // at a command, none, inside a command
    const int loopStep = length > 0 ? rng_.Below(length) : -1;
    const int tagPlace = rng_.Weighted({40, 45, 9, 6});  // none, after, before, inside the dump
    const int tagStep = length > 0 ? rng_.Below(length) : -1;
    if (tagPlace > 0) tag_ = MakeTag(rng_, version_, hostile_);
    const int devices = std::max<int>(1, static_cast<int>(types_.size()));
    bool pastList = false;

    for (int step = 0; step < length; ++step) {
      if (step == loopStep && loopKind == 0) b_.LoopHere();
      if (step == loopStep && loopKind == 2) b_.LoopOffset(b_.NextOffset() + static_cast<std::uint32_t>(rng_.Between(1, 2)));
      if (step == tagStep && tagPlace == 3) {
        b_.TagOffset(b_.NextOffset());
        b_.Raw(Bytes(tag_.bytes.begin(), tag_.bytes.end()));
        Trait("taginside");
        Trait(tag_.trait);
      }
      int device = rng_.Below(devices);
      if (reachPastList && rng_.Chance(5)) {  // an index past the list; 126 is the highest a command byte reaches
        device = rng_.Chance(20) ? 126 : devices + rng_.Below(3);
        pastList = true;
      }
      traffic.Phrase(device, TypeOf(device));
      if (rng_.Chance(55)) traffic.Wait();
    }
    if (pastList) Trait("pastlist");
    if (loopKind == 2) Trait("loopinside");
    if (length > 0 && rng_.Chance(6)) {  // a loop right before the end: nothing to wait for in the loop
      b_.LoopHere();
      traffic.Phrase(0, TypeOf(0));
    }

    // A file cut inside a command has lost its end and its tag as well.
    const bool cut = Is(Hostility::Cut);
    if (!cut && rng_.Chance(88)) {
      if (rng_.Chance(3)) b_.LoopHere();  // the end command itself is the loop point
      b_.End();
      if (Is(Hostility::BytesAfterEnd)) {
        // Stray bytes after the end command; a player never reads them, the check does.
        Bytes stray;
        for (int i = rng_.Between(1, 40); i > 0; --i) stray.push_back(rng_.Byte());
        b_.Raw(stray);
        Trait("trailing");
      }
    } else if (!cut) {
      Trait("noend");
    }
    if (tagPlace == 1 && !cut) {
      b_.Tag(tag_.bytes);
      Trait(tag_.trait);
    }
    if (tagPlace == 2) tagBefore_ = true;
  }

  // A tag between the device list and the dump: data offset moves past it.
  void PlaceTagBeforeDump(Bytes& bytes) {
    if (!tagBefore_) return;
    const std::size_t dumpStart = 32 + 16 * types_.size();
    const auto size = static_cast<std::uint32_t>(tag_.bytes.size());
    bytes.insert(bytes.begin() + static_cast<long>(dumpStart), tag_.bytes.begin(), tag_.bytes.end());
    PutLE32At(bytes, kTagOffsetField, static_cast<std::uint32_t>(dumpStart));
    PutLE32At(bytes, kDataOffsetField, LE32At(bytes, kDataOffsetField) + size);
    const std::uint32_t loop = LE32At(bytes, kLoopOffsetField);
    if (loop >= dumpStart) PutLE32At(bytes, kLoopOffsetField, loop + size);
    Trait("tagbefore");
    Trait(tag_.trait);
  }

  void ApplyHostility(Bytes& bytes) {
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const std::uint32_t dataOffset = LE32At(bytes, kDataOffsetField);
    if (Is(Hostility::DeviceCount)) {
      PutLE32At(bytes, kDeviceCountField, rng_.Of<std::uint32_t>({65, 64, 0x80000000, 0xFFFFFFFF, 0, 9, 200}));
      Trait("count");
    }
    if (Is(Hostility::DataOffset)) {
      PutLE32At(bytes, kDataOffsetField,
                rng_.Of<std::uint32_t>({0, 0x10, 0x1F, dataOffset + 1, size, size + 100, 0x80000000, 0xFFFFFFFF}));
      Trait("data");
    }
    if (Is(Hostility::TagOffset)) {
      PutLE32At(bytes, kTagOffsetField,
                rng_.Of<std::uint32_t>({0x10, dataOffset, dataOffset + 2, size, size + 50, 0x7FFFFFFF, 0xFFFFFFFF}));
      Trait("tagoff");
    }
    if (Is(Hostility::LoopOffset)) {
      PutLE32At(bytes, kLoopOffsetField,
                rng_.Of<std::uint32_t>({0x10, dataOffset - 1, size, size + 7, 0x80000000, 0xFFFFFFFF}));
      Trait("loopoff");
    }
    if (Is(Hostility::Garbage)) {
      for (int i = rng_.Between(1, 600); i > 0; --i) bytes.push_back(rng_.Byte());
      for (std::size_t i = 32 + 16 * types_.size(); i < bytes.size(); ++i) {
        if (rng_.Chance(30)) bytes[i] = rng_.Byte();
      }
      Trait("garbage");
    }
    if (Is(Hostility::HugeTag)) {
      // A tag block past the 1 MiB that is shown.
      std::string big = "[S98]title=";
      big.append(std::size_t{1} << 20, 'x');
      big += "\nartist=after the limit\n";
      big += '\0';
      PutLE32At(bytes, kTagOffsetField, static_cast<std::uint32_t>(bytes.size()));
      bytes.insert(bytes.end(), big.begin(), big.end());
      Trait("hugetag");
    }
    if (Is(Hostility::Cut)) CutInsideCommand(bytes);
    if (Is(Hostility::DeviceListCut) && !types_.empty()) {
      bytes.resize(32 + 16 * types_.size() - static_cast<std::size_t>(rng_.Between(1, 16)));
      Trait("listcut");
    }
    if (Is(Hostility::BadMagic)) {
      bytes[static_cast<std::size_t>(rng_.Below(3))] = rng_.Of<std::uint8_t>({'s', 0, 'X', '9'});
      Trait("magic");
    }
    if (Is(Hostility::ShortHead)) {
      bytes.resize(static_cast<std::size_t>(rng_.Between(0, 31)));
      Trait("short");
    }
  }

  // The file ends inside a command: after a write's command or register byte, or inside a 0xFE count.
  void CutInsideCommand(Bytes& bytes) {
    const int kind = rng_.Below(3);
    if (kind < 2) {
      bytes.push_back(U8(rng_.Below(0xFD)));
      if (kind == 1) bytes.push_back(rng_.Byte());
    } else {
      bytes.push_back(0xFE);
      for (int i = rng_.Below(4); i > 0; --i) bytes.push_back(U8(0x80 | rng_.Byte()));
    }
    Trait("cut");
  }

  std::string Name() const {
    char number[16];
    std::snprintf(number, sizeof number, "g%04d", index_);
    std::string name = number;
    for (const auto& t : traits_) name += "-" + t;
    if (hostile_) name += "-h";
    return name + ".s98";
  }

  Rng rng_;
  int index_;
  S98Builder b_;
  bool hostile_ = false;
  Hostility first_ = Hostility::None, second_ = Hostility::None;
  std::uint8_t version_ = '3';
  std::uint32_t numerator_ = 0, denominator_ = 0;
  std::vector<std::uint32_t> types_;
  TagChoice tag_;
  bool tagBefore_ = false;
  std::vector<std::string> traits_;
};


// ---- VGM twins ------------------------------------------------------------------------------------

// Where a device type goes in a VGM head, and how its writes are spelled there.
struct VgmSlot {
  std::uint8_t clockField = 0;  // 0: the type has no VGM chip of its own
  std::uint8_t first = 0;       // the command of port 0 of the first chip
  std::uint8_t second = 0;      // the same for the second chip (dual-chip bit set)
  bool twoPorts = false;        // port 1 is the next command
};

VgmSlot VgmSlotOf(std::uint32_t type) {
  switch (type) {
    case kPsg: case kAy: return {0x74, 0xA0, 0xA0, false};  // the second AY sets bit 7 of the register
    case kOpn: return {0x44, 0x55, 0xA5, false};
    case kOpn2: return {0x2C, 0x52, 0xA2, true};
    case kOpna: return {0x48, 0x56, 0xA6, true};
    case kOpm: return {0x30, 0x54, 0xA4, false};
    case kOpll: return {0x10, 0x51, 0xA1, false};
    case kOpl: return {0x54, 0x5B, 0xAB, false};
    case kOpl2: return {0x50, 0x5A, 0xAA, false};
    case kOpl3: return {0x5C, 0x5E, 0xAE, true};
    case kDcsg: return {0x0C, 0x50, 0x30, false};
    default: return {0x68, 0x5D, 0xAD, false};  // types without a decoder: a YMZ280B, shown undecoded
  }
}

// The commands of `twin` up to the S98 log's end, from the S98 bytes as the generator wrote them
// (sound or hostile: anything unreadable ends the walk). Each S98 device becomes the first or second
// chip of its VGM kind (a third of one kind is dropped), each tick its share of 44,100 samples.
void TwinCommands(tavrin::testing::VgmBuilder& twin, const Bytes& s98, Rng& rng) {
  if (s98.size() < 0x20) return;
  const std::uint32_t numerator = LE32At(s98, 4) == 0 ? 10 : LE32At(s98, 4);
  const std::uint32_t denominator = LE32At(s98, 8) == 0 ? 1000 : LE32At(s98, 8);
  const double perTick = 44100.0 * numerator / denominator;
  const std::uint32_t samplesPerTick = perTick < 1 ? 1 : perTick > 4 * 65535 ? 4 * 65535 : static_cast<std::uint32_t>(perTick);
  std::vector<std::uint32_t> types;
  const std::uint32_t count = s98[3] == '3' ? LE32At(s98, kDeviceCountField) : 0;
  for (std::uint32_t i = 0; i < count && i < 64 && 0x20 + 16 * (i + 1) <= s98.size(); ++i) {
    types.push_back(LE32At(s98, 0x20 + 16 * i));
  }
  if (types.empty()) types.push_back(kOpna);
  // Device index -> {slot, second chip}; -1 slots are dropped.
  std::vector<int> secondOf(types.size(), -1);
  std::vector<std::pair<std::uint8_t, std::uint32_t>> clocks;  // clock field, the first chip's clock
  for (std::size_t d = 0; d < types.size(); ++d) {
    const VgmSlot slot = VgmSlotOf(types[d]);
    const auto used = static_cast<int>(
        std::count_if(clocks.begin(), clocks.end(), [&](const auto& c) { return c.first == slot.clockField; }));
    if (used >= 2) continue;
    secondOf[d] = used;
    if (used == 0) {
      // The S98 clock (a clock of 0 makes a chip the head leaves out, whose writes the check names).
      const std::uint32_t clock = LE32At(s98, 0x24 + 16 * d) & 0x3FFFFFFFu;
      clocks.emplace_back(slot.clockField, clock);
      twin.Clock(slot.clockField, clock);
    } else {
      // Both chips of a kind share one field: the dual-chip bit says there are two.
      const auto first = std::find_if(clocks.begin(), clocks.end(), [&](const auto& c) { return c.first == slot.clockField; });
      clocks.emplace_back(slot.clockField, first->second);
      twin.Clock(slot.clockField, first->second | 0x40000000u);
    }
  }
  const std::uint32_t loop = LE32At(s98, kLoopOffsetField);
  std::size_t at = LE32At(s98, kDataOffsetField);
  for (int commands = 0; at < s98.size() && commands < 200000; ++commands) {
    if (at == loop && loop != 0) twin.LoopHere();
    const std::uint8_t c = s98[at];
    if (c == 0xFD) break;
    if (c == 0xFF) {
      twin.Wait(samplesPerTick);
      ++at;
      continue;
    }
    if (c == 0xFE) {
      std::uint64_t ticks = 0;
      int shift = 0;
      while (++at < s98.size() && shift < 28) {
        ticks |= static_cast<std::uint64_t>(s98[at] & 0x7F) << shift;
        shift += 7;
        if ((s98[at] & 0x80) == 0) break;
      }
      ++at;
      // Long hostile waits are cut to at most ten seconds: the twin is about the commands.
      twin.Wait(static_cast<std::uint32_t>(std::min<std::uint64_t>((ticks + 2) * samplesPerTick, 441000)));
      // Now and then the short wait forms the VGM has and S98 lacks.
      if (rng.Chance(5)) twin.Command({U8(0x70 + rng.Below(16))});
      if (rng.Chance(3)) twin.Command({rng.Of<std::uint8_t>({0x62, 0x63})});
      continue;
    }
    if (at + 2 >= s98.size()) break;
    const std::size_t device = c >> 1;
    const int port = c & 1;
    const std::uint8_t reg = s98[at + 1];
    const std::uint8_t value = s98[at + 2];
    at += 3;
    if (device >= types.size() || secondOf[device] < 0) continue;
    const VgmSlot slot = VgmSlotOf(types[device]);
    const bool second = secondOf[device] == 1;
    const auto command = U8((second ? slot.second : slot.first) + (slot.twoPorts ? port : 0));
    if (types[device] == kDcsg) {
      // A DCSG write is its value alone; register 1 stands for the Game Gear stereo byte.
      twin.Command({reg == 1 ? U8(second ? 0x3F : 0x4F) : command, value});
    } else if (types[device] == kPsg || types[device] == kAy) {
      twin.Command({command, U8(second ? (reg | 0x80) : (reg & 0x7F)), value});
    } else {
      twin.Command({command, reg, value});
    }
  }
}

// The VGM twin of generated file `s98`: its music in VGM terms, sometimes with a GD3 tag or a data
// block; a hostile S98 file's twin is hostile too (cut, or a head offset that points astray).
Bytes VgmTwin(const Bytes& s98, bool hostile, std::uint32_t seed, int index) {
  Rng rng((static_cast<std::uint64_t>(seed) << 32) ^ static_cast<std::uint64_t>(index) ^ 0x5647u);
  tavrin::testing::VgmBuilder twin;
  twin.Version(rng.Of<std::uint32_t>({0x150, 0x151, 0x161, 0x171, 0x171}));
  if (rng.Chance(20)) twin.DataBlock(0x00, Bytes(static_cast<std::size_t>(rng.Between(1, 300)), 0x80));
  TwinCommands(twin, s98, rng);
  twin.End();
  if (rng.Chance(40)) {
    twin.Gd3({"Track " + std::to_string(index), "曲 " + std::to_string(index), "Game", "ゲーム", "System", "",
              "Composer", "作曲者", "2024", "tavrin", rng.Chance(50) ? "notes\nline two" : ""});
  }
  if (!hostile) return twin.Build();
  Bytes bytes = twin.Build();
  switch (rng.Below(5)) {
    case 0:  // cut at any byte after the head
      bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(0x40 + rng.Below(static_cast<int>(bytes.size())))));
      break;
    case 1:  // a loop offset into the middle of a command (stored relative to 0x1C)
      PutLE32At(bytes, 0x1C, static_cast<std::uint32_t>(rng.Between(0x80, 0x200)) - 0x1C);
      break;
    case 2:  // a GD3 offset past the end
      PutLE32At(bytes, 0x14, static_cast<std::uint32_t>(bytes.size()) + 0x100);
      break;
    case 3:  // total samples that the waits do not add up to
      PutLE32At(bytes, 0x18, rng.Next());
      break;
    default:  // a data offset past the end
      PutLE32At(bytes, 0x34, static_cast<std::uint32_t>(bytes.size()));
      break;
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: tavrin-generate-s98-set FOLDER [COUNT (default 2000)] [SEED (default 1)]\n");
    return 2;
  }
  char* end = nullptr;
  const long count = argc >= 3 ? std::strtol(argv[2], &end, 10) : 2000;
  if (argc >= 3 && (*end != '\0' || count < 0 || count > 1000000)) {
    std::fprintf(stderr, "COUNT must be a number from 0 to 1000000, not \"%s\"\n", argv[2]);
    return 2;
  }
  const unsigned long seed = argc >= 4 ? std::strtoul(argv[3], &end, 10) : 1;
  if (argc >= 4 && *end != '\0') {
    std::fprintf(stderr, "SEED must be a number, not \"%s\"\n", argv[3]);
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code ec;
  fs::create_directories(folder, ec);
  long hostile = 0;
  std::uintmax_t total = 0;
  for (int i = 0; i < count; ++i) {
    GeneratedFile file = FileMaker(static_cast<std::uint32_t>(seed), i).Make();
    if (!tavrin::testing::WriteS98File(folder / file.name, file.bytes)) {
      std::fprintf(stderr, "cannot write %s\n", (folder / file.name).string().c_str());
      return 1;
    }
    const bool isHostile = file.name.ends_with("-h.s98");
    hostile += isHostile ? 1 : 0;
    total += file.bytes.size();
    // The twin's name differs before the extension too: reports land beside their input, by that name.
    const Bytes twin = VgmTwin(file.bytes, isHostile, static_cast<std::uint32_t>(seed), i);
    const bool gzip = i % 4 == 3;
    std::string twinName = file.name.substr(0, file.name.size() - 4) + (gzip ? "-vgz.vgz" : "-vgm.vgm");
    Bytes twinBytes = twin;
    if (gzip) twinBytes = tavrin::testing::Gzip(twin);
    if (!tavrin::testing::WriteS98File(folder / twinName, twinBytes)) {
      std::fprintf(stderr, "cannot write %s\n", (folder / twinName).string().c_str());
      return 1;
    }
    total += twinBytes.size();
  }
  std::printf("%ld files (%ld hostile) and their VGM twins, %ju bytes, in %s\n", count, hostile, total,
              folder.string().c_str());
  return 0;
}
