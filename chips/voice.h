// One channel's timbre as the chip holds it at a key-on: what voice extraction compares, lists and writes out.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

// The kinds of voice the FM families hold; each has its own operator columns.
enum class VoiceKind : std::uint8_t {
  Opn,         // OPN, OPN2, OPNA: 4 operators, slots 1-4
  Opm,         // OPM: 4 operators, M1 C1 M2 C2
  Opl,         // OPL, OPL2, OPL3: 2 operators, modulator and carrier
  OplFourOp,   // OPL3 in OPL3 mode: a joined channel pair, 4 operators
  OpllCustom,  // OPLL instrument 0: the custom voice of $00-$07
  OpllPreset,  // OPLL instruments 1-15: built into the chip, known by number
};

inline constexpr int kVoiceColumns = 12;

// Operator columns, by kind. The TL column of a carrier is volume, not timbre.
namespace opn_voice {
enum Column : std::uint8_t { AR, DR, SR, RR, SL, TL, KS, ML, DT, SSG, AM };
}
namespace opm_voice {
enum Column : std::uint8_t { AR, D1R, D2R, RR, D1L, TL, KS, MUL, DT1, DT2, AME };
}
namespace opl_voice {  // also the OPLL custom voice, whose WS column is the rectify bit (DM, DC)
enum Column : std::uint8_t { AM, VIB, EG, KSR, MUL, KSL, TL, AR, DR, SL, RR, WS };
}

struct Voice {
  VoiceKind kind = VoiceKind::Opn;
  int operators = 0;  // rows of `op` in use (0 for an OPLL preset)
  std::array<std::array<std::uint8_t, kVoiceColumns>, 4> op{};
  std::uint8_t alg = 0;  // OPN/OPM algorithm; OPL connection; OPL3 pair: CNT of the first channel + 2 x CNT of the second
  std::uint8_t fb = 0;
  std::uint8_t ams = 0;  // OPN/OPM channel LFO sensitivities
  std::uint8_t pms = 0;
  std::uint8_t preset = 0;    // OPLL instrument 1-15
  std::uint8_t carriers = 0;  // bit k: operator row k reaches the output under `alg`
  // Not timbre: how the channel was played at this key-on.
  bool specialMode = false;  // OPN FM#2 with its own frequency per operator ($27 bits 7-6 not 00)
};

// The column names and row names of a kind, and where its TL column is.
struct VoiceLayout {
  std::span<const std::string_view> columns;
  std::span<const std::string_view> rows;
  int tlColumn;
};
VoiceLayout LayoutOf(VoiceKind kind);

// Equal in every parameter except the TL of the carriers (and how the channel was played).
bool SameTimbre(const Voice& a, const Voice& b);

// Carrier rows of the four-operator algorithms of the OPN and OPM (rows as the slots count them:
// OPN slots 1-4, OPM M1 C1 M2 C2).
constexpr std::uint8_t FourOpCarriers(unsigned alg) {
  constexpr std::array<std::uint8_t, 8> kCarriers = {0x8, 0x8, 0x8, 0x8, 0xA, 0xE, 0xE, 0xF};
  return kCarriers[alg & 7u];
}

// One operator column as a register holds it: the row's base address, and the bits.
struct VoiceField {
  std::uint8_t column;
  std::uint8_t row;  // $30, $40, ...: the operator's register is row + its offset
  std::uint8_t lsb;
  std::uint8_t width;
};

// Fills the columns `fields` name from the registers of one operator at `offset` within each row.
inline void ReadVoiceFields(const std::array<std::uint8_t, 256>& bank, unsigned offset,
                            std::span<const VoiceField> fields, std::array<std::uint8_t, kVoiceColumns>& op) {
  for (const VoiceField& f : fields) {
    const unsigned value = bank[(f.row + offset) & 0xFFu];
    op[f.column] = static_cast<std::uint8_t>((value >> f.lsb) & ((1u << f.width) - 1u));
  }
}

// The OPLL's built-in instrument names, 1-15 (0 is the custom voice).
std::string_view OpllPresetName(unsigned instrument);

}  // namespace tavrin
