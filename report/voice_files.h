// --voices-dir: the voices of a log as patch files other tools load (VOPM .opm, .tfi, .sbi, MML).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/voices.h"

namespace tavrin {

// The 42 bytes of a TFM Music Maker instrument for an OPN-family voice.
std::array<std::uint8_t, 42> TfiBytes(const Voice& voice);

// The 52 bytes of a Sound Blaster instrument for an OPL 2-operator voice; `name` is cut to 31 bytes.
std::array<std::uint8_t, 52> SbiBytes(const Voice& voice, std::string_view name);

// A VOPM text bank of every OPM and OPN-family voice, numbered @:0 up in the bank's order.
std::string VopmBank(const VoiceBank& bank, std::string_view title);

// PMD voice definitions of the OPN-family voices, then MXDRV ones of the OPM voices.
std::string VoiceMml(const VoiceBank& bank, std::string_view title);

struct PatchFile {
  std::string name;  // "song_OPN@0.tfi": the input's stem, the family and the voice number
  std::string bytes;
};

// Every patch file of `bank` for an input whose name without extension is `stem`: the .opm bank and
// the .mml file when the bank has 4-operator voices, one .tfi per OPN-family voice, one .sbi per OPL
// 2-operator voice.
std::vector<PatchFile> VoicePatchFiles(const VoiceBank& bank, std::string_view stem);

}  // namespace tavrin
