// --check on a VGM file: head offsets and sizes, the loop point, the sample counts against the waits,
// the GD3 tag, commands for chips without a clock, commands the format gives no length.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include "formats/vgm/vgm_sections.h"
#include "formats/vgm/vgm_walker.h"
#include "report/check.h"

namespace tavrin {

namespace {

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

// Bytes from the reader's place to the end of the input.
std::uint64_t BytesLeft(ByteReader& in) {
  std::array<std::uint8_t, 4096> buffer{};
  std::uint64_t count = 0;
  while (const std::size_t got = in.Read(buffer.data(), buffer.size())) count += got;
  return count;
}

}  // namespace

std::string CheckVgm(ByteReader& in, std::vector<CheckFinding>& findings) {
  findings.clear();
  VgmInfo info;
  if (std::string status = ReadVgmHead(in, info); !status.empty()) return status;
  const VgmHeader& h = info.header;
  const auto add = [&](std::uint32_t at, std::string text) { findings.push_back({at, std::move(text)}); };

  // The walk: waits counted, the loop point met, commands of chips without a clock, unknown bytes.
  VgmWalker walker(in, info);
  Command cmd;
  std::uint64_t samples = 0;
  std::uint64_t samplesAtLoop = 0;
  bool loopMet = false;
  bool ended = false;
  struct Unclocked {
    std::uint32_t first = 0;
    std::uint64_t count = 0;
  };
  std::map<std::pair<std::size_t, bool>, Unclocked> unclocked;
  Unclocked pastBank;  // 0x8n reading past the data bank
  std::uint32_t walkEnd = h.dataOffset;
  while (walker.Next(cmd)) {
    const auto at = static_cast<std::uint32_t>(cmd.offset);
    if (cmd.atLoop) {
      loopMet = true;
      samplesAtLoop = samples;
    }
    if (cmd.kind == CommandKind::Wait) samples += static_cast<std::uint32_t>(cmd.ticks);
    if (cmd.kind == CommandKind::End) ended = true;
    if (cmd.kind == CommandKind::Cut) add(at, "the file ends inside this command");
    const VgmCommandInfo& what = walker.Info();
    if (what.other == VgmOther::ChipWrite && what.device < 0) {
      Unclocked& u = unclocked[{what.chipKind, what.second}];
      if (u.count++ == 0) u.first = at;
    }
    // A 0x8n counts once, at its wait.
    if (what.dacWait && cmd.kind == CommandKind::Wait && what.dacByte < 0) {
      Unclocked& u = what.dacByte == kNoDacChip ? unclocked[{VgmKindIndex("YM2612"), false}] : pastBank;
      if (u.count++ == 0) u.first = at;
    }
    if (what.other == VgmOther::Unknown) {
      char text[96];
      std::snprintf(text, sizeof text, "command 0x%02x has no length in the format; nothing after it can be read",
                    cmd.command);
      add(at, text);
    }
    walkEnd = at + static_cast<std::uint32_t>(walker.Raw().size());
  }
  const std::uint64_t fileSize = in.Position() + BytesLeft(in);

  if (h.dataOffset < 0x40 && h.version >= 0x150) add(0x34, "the data offset " + Hex(h.dataOffset) + " lies inside the head");
  if (h.dataOffset >= fileSize) add(0x34, "the data offset " + Hex(h.dataOffset) + " lies past the end of the file");
  if (h.eofOffset != fileSize) {
    add(0x04, "the end-of-file offset " + Hex(h.eofOffset) + " does not match the file size " +
                  Hex(static_cast<std::uint32_t>(fileSize)));
  }
  if (!ended) add(walkEnd, "the commands end without the end command 0x66");
  if (h.loopOffset != 0 && !loopMet) add(0x1C, "the loop offset " + Hex(h.loopOffset) + " is not the start of a command");
  if (samples != h.totalSamples) {
    add(0x18, "the head counts " + std::to_string(h.totalSamples) + " samples, the waits " + std::to_string(samples));
  }
  if (loopMet && samples - samplesAtLoop != h.loopSamples) {
    add(0x20, "the head counts " + std::to_string(h.loopSamples) + " loop samples, the waits after the loop point " +
                  std::to_string(samples - samplesAtLoop));
  }
  if (h.loopOffset == 0 && h.loopSamples != 0) add(0x20, "loop samples are set but there is no loop offset");
  for (const auto& [key, use] : unclocked) {
    add(use.first, std::to_string(use.count) + " command(s) for the " + (key.second ? "second " : "") +
                       std::string(VgmChipKinds()[key.first].name) + ", whose clock is 0 in the head");
  }

  if (pastBank.count != 0) {
    add(pastBank.first, std::to_string(pastBank.count) + " DAC byte(s) (0x8n) read past the end of the data bank of " +
                            std::to_string(walker.DataBankSize()) + " bytes");
  }

  if (h.gd3Offset != 0) {
    const Gd3Tag tag = ReadGd3Tag(in, info);
    if (h.gd3Offset >= fileSize) {
      add(0x14, "the GD3 offset " + Hex(h.gd3Offset) + " lies past the end of the file");
    } else {
      for (const std::string& note : tag.notes) add(h.gd3Offset, "GD3: " + note);
      if (tag.notes.empty() && static_cast<std::uint64_t>(h.gd3Offset) + 12 + tag.length > fileSize) {
        add(h.gd3Offset + 8, "the GD3 length " + std::to_string(tag.length) + " runs past the end of the file");
      }
    }
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.offset < b.offset; });
  return {};
}

}  // namespace tavrin
