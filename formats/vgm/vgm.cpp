// The VGM head: version-dependent fields, the chip clocks with their dual-chip bits, the command lengths.
#include "formats/vgm/vgm.h"

#include "core/status.h"

namespace tavrin {

namespace {

// Commands by first byte: one row per command or run of commands of one length. Lengths count the
// first byte. Length 0: the format gives the byte no meaning and no length.
struct CommandRow {
  std::uint8_t first;
  std::uint8_t last;
  std::uint8_t length;
};

constexpr CommandRow kCommandRows[] = {
    {0x00, 0x2F, 0},   // undefined: no length known, the walk stops
    {0x30, 0x30, 2},   // 30 dd        second SN76489 write
    {0x31, 0x3E, 2},   // 3n dd        reserved, one operand
    {0x3F, 0x3F, 2},   // 3F dd        second Game Gear stereo
    {0x40, 0x4E, 3},   // 4n dd dd     reserved (one operand before 1.60)
    {0x4F, 0x4F, 2},   // 4F dd        Game Gear stereo
    {0x50, 0x50, 2},   // 50 dd        SN76489 write
    {0x51, 0x51, 3},   // 51 aa dd     YM2413
    {0x52, 0x53, 3},   // 52/53 aa dd  YM2612 port 0 / port 1
    {0x54, 0x54, 3},   // 54 aa dd     YM2151
    {0x55, 0x55, 3},   // 55 aa dd     YM2203
    {0x56, 0x57, 3},   // 56/57 aa dd  YM2608 port 0 / port 1
    {0x58, 0x59, 3},   // 58/59 aa dd  YM2610 port 0 / port 1
    {0x5A, 0x5A, 3},   // 5A aa dd     YM3812
    {0x5B, 0x5B, 3},   // 5B aa dd     YM3526
    {0x5C, 0x5C, 3},   // 5C aa dd     Y8950
    {0x5D, 0x5D, 3},   // 5D aa dd     YMZ280B
    {0x5E, 0x5F, 3},   // 5E/5F aa dd  YMF262 port 0 / port 1
    {0x60, 0x60, 0},   // undefined
    {0x61, 0x61, 3},   // 61 nn nn     wait nnnn samples
    {0x62, 0x62, 1},   // 62           wait 735 samples (1/60 s)
    {0x63, 0x63, 1},   // 63           wait 882 samples (1/50 s)
    {0x64, 0x64, 4},   // 64 cc nn nn  override the length of 0x62 (cc=62) or 0x63 (cc=63)
    {0x65, 0x65, 0},   // undefined
    {0x66, 0x66, 1},   // 66           end of the sound data
    {0x67, 0x67, 7},   // 67 66 tt ss ss ss ss (data)  data block of type tt, ss bytes
    {0x68, 0x68, 12},  // 68 66 cc oo oo oo dd dd dd ss ss ss  PCM RAM write from the data bank
    {0x69, 0x6F, 0},   // undefined
    {0x70, 0x7F, 1},   // 7n           wait n+1 samples
    {0x80, 0x8F, 1},   // 8n           YM2612 DAC byte from the data bank, then wait n samples
    {0x90, 0x90, 5},   // 90 ss tt pp cc           DAC stream: set up
    {0x91, 0x91, 5},   // 91 ss dd ll bb           DAC stream: set data
    {0x92, 0x92, 6},   // 92 ss ff ff ff ff        DAC stream: set frequency
    {0x93, 0x93, 11},  // 93 ss aa aa aa aa mm ll ll ll ll  DAC stream: start
    {0x94, 0x94, 2},   // 94 ss                    DAC stream: stop
    {0x95, 0x95, 5},   // 95 ss bb bb ff           DAC stream: start fast
    {0x96, 0x9F, 0},   // undefined
    {0xA0, 0xA0, 3},   // A0 aa dd     AY8910 (bit 7 of aa: the second chip)
    {0xA1, 0xAF, 3},   // An aa dd     second chip of 5n
    {0xB0, 0xBF, 3},   // Bn aa dd     RF5C68 .. GA20 (bit 7 of aa: the second chip)
    {0xC0, 0xC8, 4},   // Cn bb aa dd  Sega PCM .. X1-010
    {0xC9, 0xCF, 4},   // reserved, three operands
    {0xD0, 0xD6, 4},   // Dn pp aa dd  YMF278B .. ES5506
    {0xD7, 0xDF, 4},   // reserved, three operands
    {0xE0, 0xE0, 5},   // E0 dd dd dd dd  seek to offset dddddddd of the PCM data bank
    {0xE1, 0xE1, 5},   // E1 aa aa dd dd  C352
    {0xE2, 0xFF, 5},   // reserved, four operands
};

constexpr std::array<std::uint8_t, 256> MakeLengths() {
  std::array<std::uint8_t, 256> lengths{};
  for (const CommandRow& row : kCommandRows) {
    for (unsigned c = row.first; c <= row.last; ++c) lengths[c] = row.length;
  }
  return lengths;
}

constexpr std::array<std::uint8_t, 256> kLengths = MakeLengths();

std::uint32_t Field32(const VgmInfo& info, std::size_t at) { return ReadLE32(info.head.data() + at); }

// AY8910 flags (head 0x79), bit 4: a YM2149 with pin 26 low divides its clock by 2.
constexpr std::uint8_t kAyFlagPin26Low = 0x10;

// The SN76489 head fields as DeviceInfo::variant holds them. Files before 1.10 have no feedback or
// width fields (and later ones may leave them 0): the Sega chip's 0x0009 and 16 bits then.
std::uint32_t DcsgVariantOf(const VgmHeader& h) {
  const std::uint32_t feedback = h.snFeedback != 0 ? h.snFeedback : 0x0009u;
  const std::uint32_t width = h.snShiftWidth != 0 ? h.snShiftWidth : 16u;
  return feedback | width << 16 | static_cast<std::uint32_t>(h.snFlags) << 24;
}

// A relative offset field made absolute; 0 stays 0 (the field is unused).
std::uint32_t Absolute(std::uint32_t stored, std::uint32_t field) { return stored == 0 ? 0 : stored + field; }

}  // namespace

const std::vector<VgmChipKind>& VgmChipKinds() {
  static const std::vector<VgmChipKind> kinds = {
      {0x0C, "SN76489", DeviceType::Dcsg},  {0x10, "YM2413", DeviceType::Opll},
      {0x2C, "YM2612", DeviceType::Opn2},   {0x30, "YM2151", DeviceType::Opm},
      {0x38, "SegaPCM", DeviceType::None},  {0x40, "RF5C68", DeviceType::None},
      {0x44, "YM2203", DeviceType::Opn},    {0x48, "YM2608", DeviceType::Opna},
      {0x4C, "YM2610", DeviceType::None},   {0x50, "YM3812", DeviceType::Opl2},
      {0x54, "YM3526", DeviceType::Opl},    {0x58, "Y8950", DeviceType::None},
      {0x5C, "YMF262", DeviceType::Opl3},   {0x60, "YMF278B", DeviceType::None},
      {0x64, "YMF271", DeviceType::None},   {0x68, "YMZ280B", DeviceType::None},
      {0x6C, "RF5C164", DeviceType::None},  {0x70, "PWM", DeviceType::None},
      {0x74, "AY8910", DeviceType::Ay8910}, {0x80, "GameBoy", DeviceType::None},
      {0x84, "NES APU", DeviceType::None},  {0x88, "MultiPCM", DeviceType::None},
      {0x8C, "uPD7759", DeviceType::None},  {0x90, "OKIM6258", DeviceType::None},
      {0x98, "OKIM6295", DeviceType::None}, {0x9C, "K051649", DeviceType::None},
      {0xA0, "K054539", DeviceType::None},  {0xA4, "HuC6280", DeviceType::None},
      {0xA8, "C140", DeviceType::None},     {0xAC, "K053260", DeviceType::None},
      {0xB0, "Pokey", DeviceType::None},    {0xB4, "QSound", DeviceType::None},
      {0xB8, "SCSP", DeviceType::None},     {0xC0, "WonderSwan", DeviceType::None},
      {0xC4, "VSU", DeviceType::None},      {0xC8, "SAA1099", DeviceType::None},
      {0xCC, "ES5503", DeviceType::None},   {0xD0, "ES5506", DeviceType::None},
      {0xD8, "X1-010", DeviceType::None},   {0xDC, "C352", DeviceType::None},
      {0xE0, "GA20", DeviceType::None},
  };
  return kinds;
}

std::size_t VgmKindIndex(std::string_view name) {
  const auto& kinds = VgmChipKinds();
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i].name == name) return i;
  }
  return kinds.size();
}

bool LooksLikeVgm(const std::uint8_t* bytes, std::size_t size) {
  return size >= 4 && bytes[0] == 'V' && bytes[1] == 'g' && bytes[2] == 'm' && bytes[3] == ' ';
}

bool LooksLikeGzip(const std::uint8_t* bytes, std::size_t size) {
  return size >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

// Files before 1.60 reserve 0x40-0x4E with one operand, later ones with two.
constexpr std::uint32_t kTwoOperandReservedFrom = 0x160;

std::array<std::uint8_t, 256> VgmCommandLengths(std::uint32_t version) {
  std::array<std::uint8_t, 256> lengths = kLengths;
  if (version < kTwoOperandReservedFrom) {
    for (unsigned c = 0x40; c <= 0x4E; ++c) lengths[c] = 2;
  }
  return lengths;
}


std::string ReadVgmHead(ByteReader& in, VgmInfo& info) {
  info = VgmInfo{};
  in.Seek(0);
  std::array<std::uint8_t, kVgmHeadMax> raw{};
  const std::size_t got = in.Read(raw.data(), raw.size());
  if (!LooksLikeVgm(raw.data(), got)) return std::string(kStatusNotVgm);
  if (got < 0x40) return std::string(kStatusVgmShortHead);
  VgmHeader& h = info.header;
  h.version = ReadLE32(raw.data() + 0x08);
  // Before 1.50 the data start at 0x40; a stored 0 means the same.
  const std::uint32_t storedData = h.version >= 0x150 ? ReadLE32(raw.data() + 0x34) : 0;
  h.dataOffset = storedData == 0 ? 0x40 : storedData + 0x34;
  // Head fields at or past the data offset are not head fields: they read as 0.
  h.headSize = h.dataOffset < got ? h.dataOffset : static_cast<std::uint32_t>(got);
  if (h.version < 0x101) h.headSize = h.headSize < 0x24 ? h.headSize : 0x24;
  else if (h.version < 0x110) h.headSize = h.headSize < 0x28 ? h.headSize : 0x28;
  else if (h.version < 0x150) h.headSize = h.headSize < 0x34 ? h.headSize : 0x34;
  else if (h.version < 0x151) h.headSize = h.headSize < 0x40 ? h.headSize : 0x40;
  for (std::size_t i = 0; i < h.headSize; ++i) info.head[i] = raw[i];

  h.eofOffset = Absolute(Field32(info, 0x04), 0x04);
  h.gd3Offset = Absolute(Field32(info, 0x14), 0x14);
  h.totalSamples = Field32(info, 0x18);
  h.loopOffset = Absolute(Field32(info, 0x1C), 0x1C);
  h.loopSamples = Field32(info, 0x20);
  h.rate = Field32(info, 0x24);
  h.snFeedback = static_cast<std::uint16_t>(info.head[0x28] | info.head[0x29] << 8);
  h.snShiftWidth = info.head[0x2A];
  h.snFlags = h.version >= 0x151 ? info.head[0x2B] : 0;  // the flags came with 1.51
  h.ayType = info.head[0x78];
  h.ayFlags = info.head[0x79];
  h.ym2203AyFlags = info.head[0x7A];
  h.ym2608AyFlags = info.head[0x7B];
  h.volumeModifier = info.head[0x7C];
  h.loopBase = info.head[0x7E];
  h.loopModifier = info.head[0x7F];
  // Before 1.10 the YM2413 clock field served the YM2612 and the YM2151 as well.
  if (h.version < 0x110) {
    for (std::size_t at : {std::size_t{0x2C}, std::size_t{0x30}}) {
      for (std::size_t b = 0; b < 4; ++b) info.head[at + b] = info.head[0x10 + b];
    }
  }

  int device = 0;
  const auto& kinds = VgmChipKinds();
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const std::uint32_t field = Field32(info, kinds[k].clockField);
    if ((field & 0x3FFFFFFFu) == 0) continue;
    info.chips.push_back(VgmChip{k, false, device++, field});
    if (field & 0x40000000u) info.chips.push_back(VgmChip{k, true, device++, field});
  }
  return {};
}

int VgmDeviceOf(const VgmInfo& info, std::size_t kind, bool second) {
  for (const VgmChip& chip : info.chips) {
    if (chip.kind == kind && chip.second == second) return chip.device;
  }
  return -1;
}

DeviceTable DeviceTableOf(const VgmInfo& info) {
  DeviceTable table;
  const auto& kinds = VgmChipKinds();
  for (const VgmChip& chip : info.chips) {
    if (chip.device >= kDeviceIndexCount) break;
    const auto i = static_cast<std::size_t>(chip.device);
    const VgmChipKind& kind = kinds[chip.kind];
    table.listed[i] = true;
    if (kind.type == DeviceType::None) continue;
    DeviceType type = kind.type;
    std::uint32_t clock = chip.clockField & 0x3FFFFFFFu;
    std::uint32_t variant = 0;
    // AY type codes 0x10 and up are the YM2149 and its kin. The PSG(YM2149) device halves its clock,
    // as S98 logs store it; a VGM YM2149 halves it only with pin 26 low (AY flags bit 4), so the clock
    // that plays as the VGM's is twice the field otherwise (the field holds 30 bits: no overflow).
    if (type == DeviceType::Ay8910 && info.header.ayType >= 0x10) {
      type = DeviceType::Psg;
      if ((info.header.ayFlags & kAyFlagPin26Low) == 0) clock *= 2;
    }
    if (type == DeviceType::Dcsg) variant = DcsgVariantOf(info.header);
    table.present[i] = true;
    table.info[i] = DeviceInfo{static_cast<std::uint32_t>(type), static_cast<std::int32_t>(clock), 0, 0, variant};
  }
  return table;
}

StreamHead StreamHeadOf(const VgmInfo& info) {
  bool atTag = false;
  VgmStreamBound(info.header, atTag);
  return StreamHead{TickRate{1, kVgmSampleRate, true}, static_cast<std::int32_t>(info.header.dataOffset),
                    static_cast<std::int32_t>(info.header.loopOffset), atTag};
}

std::uint32_t VgmStreamBound(const VgmHeader& header, bool& atTag) {
  std::uint32_t bound = static_cast<std::uint32_t>(kOffsetLimit);
  atTag = false;
  if (header.eofOffset > header.dataOffset && header.eofOffset < bound) bound = header.eofOffset;
  if (header.gd3Offset > header.dataOffset && header.gd3Offset < bound) {
    bound = header.gd3Offset;
    atTag = true;
  }
  return bound;
}

}  // namespace tavrin
