// Writing the VGM information section, the device list, the GD3 tag and the lines of undecoded commands.
#include "formats/vgm/vgm_sections.h"

#include "core/utf8.h"

namespace tavrin {

namespace {

// A tag longer than this is read this far and noted.
constexpr std::uint32_t kMaxGd3Bytes = 1024 * 1024;

// Unsigned 32-bit counts in decimal (the sink's %d is signed).
std::string U(std::uint32_t value) { return std::to_string(value); }

void PrintVersion(ReportSink& out, std::uint32_t bcd) {
  out.Print<"%x.%02x">(bcd >> 8, bcd & 0xFF);
}

}  // namespace

// Every wait line prints one, so the general tick-time rule is not asked: the milliseconds of a 32-bit
// sample count stay below 2^27, and the fields come from unsigned division by constants.
void WriteSampleTime(ReportSink& out, std::uint32_t samples) {
  const SampleTime t = SplitSampleTime(samples);
  out.Print<"%02d:%02d:%02d.%03d">(t.hours, t.minutes, t.seconds, t.milliseconds);
}

Gd3Tag ReadGd3Tag(ByteReader& in, const VgmInfo& info) {
  Gd3Tag tag;
  if (info.header.gd3Offset == 0) return tag;
  tag.present = true;
  in.Seek(info.header.gd3Offset);
  std::uint8_t head[12];
  if (in.Read(head, sizeof head) < sizeof head || head[0] != 'G' || head[1] != 'd' || head[2] != '3' || head[3] != ' ') {
    tag.notes.emplace_back("no \"Gd3 \" tag at the GD3 offset");
    return tag;
  }
  tag.version = ReadLE32(head + 4);
  tag.length = ReadLE32(head + 8);
  std::uint32_t left = tag.length < kMaxGd3Bytes ? tag.length : kMaxGd3Bytes;
  if (tag.length > kMaxGd3Bytes) tag.notes.emplace_back("the tag is longer than 1 MiB; read up to there");
  std::size_t field = 0;
  std::uint32_t pendingHigh = 0;  // a high surrogate waiting for its low half
  while (field < tag.fields.size() && left >= 2) {
    const int lo = in.Next();
    const int hi = lo < 0 ? -1 : in.Next();
    if (hi < 0) break;
    left -= 2;
    const auto unit = static_cast<std::uint32_t>(lo | hi << 8);
    if (pendingHigh != 0) {
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        AppendUtf8(tag.fields[field], 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
        pendingHigh = 0;
        continue;
      }
      AppendUtf8(tag.fields[field], 0xFFFD);
      pendingHigh = 0;
    }
    if (unit == 0) {
      ++field;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
      pendingHigh = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(tag.fields[field], 0xFFFD);
    } else {
      AppendUtf8(tag.fields[field], unit);
    }
  }
  if (field < tag.fields.size()) tag.notes.emplace_back("the tag ends before its eleventh string");
  return tag;
}

void WriteVgmInformationSection(ReportSink& out, const VgmInfo& info, std::string_view fileName) {
  const VgmHeader& h = info.header;
  out.Print<"[ VGM Information ]\r\n">();
  out.Print<"Filename       = %s\r\n">(fileName);
  out.Print<"Format Version = ">();
  PrintVersion(out, h.version);
  out.Print<"\r\n">();
  out.Print<"Total Samples  = %s (">(U(h.totalSamples));
  WriteSampleTime(out, h.totalSamples);
  out.Print<")\r\n">();
  out.Print<"Loop Samples   = %s (">(U(h.loopSamples));
  WriteSampleTime(out, h.loopSamples);
  out.Print<")\r\n">();
  out.Print<"Loop Offset    = 0x%08x">(h.loopOffset);
  if (h.loopOffset == 0) {
    out.Print<" (no loop)\r\n">();
  } else {
    out.Print<"\r\n">();
  }
  out.Print<"Data Offset    = 0x%08x\r\n">(h.dataOffset);
  out.Print<"GD3 Offset     = 0x%08x">(h.gd3Offset);
  if (h.gd3Offset == 0) {
    out.Print<" (no tag)\r\n">();
  } else {
    out.Print<"\r\n">();
  }
  out.Print<"EOF Offset     = 0x%08x\r\n">(h.eofOffset);
  out.Print<"Rate           = %s Hz\r\n">(U(h.rate));
  if (h.snFeedback != 0 || h.snShiftWidth != 0 || h.snFlags != 0) {
    out.Print<"SN76489        = feedback 0x%04x, shift register %s bits, flags 0x%02x\r\n">(
        static_cast<unsigned>(h.snFeedback), U(h.snShiftWidth), static_cast<unsigned>(h.snFlags));
  }
  if (h.ayType != 0 || h.ayFlags != 0 || h.ym2203AyFlags != 0 || h.ym2608AyFlags != 0) {
    out.Print<"AY8910         = type 0x%02x, flags 0x%02x (YM2203 SSG 0x%02x, YM2608 SSG 0x%02x)\r\n">(
        static_cast<unsigned>(h.ayType), static_cast<unsigned>(h.ayFlags), static_cast<unsigned>(h.ym2203AyFlags),
        static_cast<unsigned>(h.ym2608AyFlags));
  }
  if (h.volumeModifier != 0 || h.loopBase != 0 || h.loopModifier != 0) {
    out.Print<"Playback       = volume modifier 0x%02x, loop base %d, loop modifier 0x%02x\r\n">(
        static_cast<unsigned>(h.volumeModifier), static_cast<int>(static_cast<std::int8_t>(h.loopBase)),
        static_cast<unsigned>(h.loopModifier));
  }
  out.Print<"Device Count   = %d\r\n\r\n">(static_cast<int>(info.chips.size()));
}

void WriteGd3Section(ReportSink& out, const Gd3Tag& tag) {
  out.Print<"[ GD3 Tag ]\r\n">();
  if (!tag.present) {
    out.Print<"(no tag)\r\n\r\n">();
    return;
  }
  if (tag.version != 0) {
    out.Print<"Tag Version    = ">();
    PrintVersion(out, tag.version);
    out.Print<"\r\n">();
  }
  for (std::size_t i = 0; i < tag.fields.size(); ++i) {
    if (tag.fields[i].empty()) continue;
    out.Print<"%-16s= ">(kGd3FieldNames[i]);
    // A field of several lines (notes often are) keeps the report's CR LF line ends, indented.
    const std::string& text = tag.fields[i];
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find_first_of("\r\n", at);
      out.Append(std::string_view(text).substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
      out.Print<"\r\n                  ">();
    }
    out.Print<"\r\n">();
  }
  for (const std::string& note : tag.notes) out.Print<"*** %s ***\r\n">(note);
  out.Print<"\r\n">();
}

std::string_view VgmChipName(const VgmInfo& info, const VgmChip& chip) {
  const VgmChipKind& kind = VgmChipKinds()[chip.kind];
  if (kind.type == DeviceType::None) return kind.name;
  if (kind.type == DeviceType::Ay8910 && info.header.ayType >= 0x10) return DeviceName(static_cast<std::uint32_t>(DeviceType::Psg));
  return DeviceName(static_cast<std::uint32_t>(kind.type));
}

void WriteVgmDeviceList(ReportSink& out, const VgmInfo& info) {
  out.Print<"[ Device List ]\r\n">();
  for (const VgmChip& chip : info.chips) {
    out.Print<"#%02d %-16s Clock: %dHz">(chip.device, VgmChipName(info, chip),
                                         static_cast<int>(chip.clockField & 0x3FFFFFFFu));
    if (chip.second) out.Print<"  (second chip)">();
    if (chip.clockField & 0x80000000u) out.Print<"  (variant bit set)">();
    out.Print<"\r\n">();
  }
}

void WriteVgmOtherText(ReportSink& out, const Command& cmd, const VgmCommandInfo& info) {
  const std::uint8_t* b = cmd.countBytes;
  switch (info.other) {
    case VgmOther::ChipWrite: {
      const std::string_view name = VgmChipKinds()[info.chipKind].name;
      if (info.device < 0) {
        out.Print<"\t[ %s%s (no clock) ]">(name, info.second ? " 2nd" : "");
      } else {
        out.Print<"\t[ #%02d %s ]">(info.device, name);
      }
      break;
    }
    case VgmOther::DataBlock:
      out.Print<"\t[ DATA BLOCK type=0x%02x size=%s ]">(static_cast<unsigned>(b[1]), U(ReadLE32(b + 2) & 0x7FFFFFFFu));
      break;
    case VgmOther::PcmRamWrite:
      out.Print<"\t[ PCM RAM WRITE type=0x%02x read=0x%06x write=0x%06x size=0x%06x ]">(
          static_cast<unsigned>(b[1]), static_cast<unsigned>(b[2] | b[3] << 8 | b[4] << 16),
          static_cast<unsigned>(b[5] | b[6] << 8 | b[7] << 16), static_cast<unsigned>(b[8] | b[9] << 8 | b[10] << 16));
      break;
    case VgmOther::DacStream:
      switch (cmd.command) {
        case 0x90:
          out.Print<"\t[ DAC STREAM %s SETUP chip=0x%02x port=0x%02x reg=0x%02x ]">(U(b[0]), b[1], b[2], b[3]);
          break;
        case 0x91:
          out.Print<"\t[ DAC STREAM %s DATA bank=0x%02x step=%s base=%s ]">(U(b[0]), b[1], U(b[2]), U(b[3]));
          break;
        case 0x92:
          out.Print<"\t[ DAC STREAM %s FREQUENCY %s Hz ]">(U(b[0]), U(ReadLE32(b + 1)));
          break;
        case 0x93:
          out.Print<"\t[ DAC STREAM %s START offset=0x%08x mode=0x%02x length=%s ]">(U(b[0]), ReadLE32(b + 1), b[5], U(ReadLE32(b + 6)));
          break;
        case 0x94:
          out.Print<"\t[ DAC STREAM %s STOP ]">(U(b[0]));
          break;
        default:
          out.Print<"\t[ DAC STREAM %s START FAST block=%s flags=0x%02x ]">(U(b[0]), U(static_cast<unsigned>(b[1] | b[2] << 8)),
                                                                           b[3]);
          break;
      }
      break;
    case VgmOther::Seek:
      out.Print<"\t[ SEEK PCM 0x%08x ]">(ReadLE32(b));
      break;
    case VgmOther::WaitOverride:
      out.Print<"\t[ WAIT %02x IS %s ]">(b[0], U(static_cast<unsigned>(b[1] | b[2] << 8)));
      break;
    case VgmOther::Reserved:
      out.Print<"\t[ RESERVED ]">();
      break;
    case VgmOther::Unknown:
      out.Print<"\t[ UNKNOWN COMMAND: no length, the walk stops ]">();
      break;
    case VgmOther::None:
      break;
  }
}

}  // namespace tavrin
