// Column names of each kind of voice, and the comparison that merges voices differing only in volume.
#include "chips/voice.h"

namespace tavrin {

namespace {

constexpr std::array<std::string_view, 11> kOpnColumns = {"AR", "DR", "SR", "RR", "SL", "TL",
                                                          "KS", "ML", "DT", "SSG", "AM"};
constexpr std::array<std::string_view, 11> kOpmColumns = {"AR", "D1R", "D2R", "RR", "D1L", "TL",
                                                          "KS", "MUL", "DT1", "DT2", "AME"};
constexpr std::array<std::string_view, 12> kOplColumns = {"AM", "VIB", "EG", "KSR", "MUL", "KSL",
                                                          "TL", "AR", "DR", "SL", "RR", "WS"};
constexpr std::array<std::string_view, 12> kOpllColumns = {"AM", "VIB", "EG", "KSR", "MUL", "KSL",
                                                           "TL", "AR", "DR", "SL", "RR", "WF"};
constexpr std::array<std::string_view, 4> kOpnRows = {"OP1", "OP2", "OP3", "OP4"};
constexpr std::array<std::string_view, 4> kOpmRows = {"M1", "C1", "M2", "C2"};
constexpr std::array<std::string_view, 2> kOplRows = {"MOD", "CAR"};

}  // namespace

VoiceLayout LayoutOf(VoiceKind kind) {
  switch (kind) {
    case VoiceKind::Opn: return {kOpnColumns, kOpnRows, opn_voice::TL};
    case VoiceKind::Opm: return {kOpmColumns, kOpmRows, opm_voice::TL};
    case VoiceKind::Opl: return {kOplColumns, kOplRows, opl_voice::TL};
    case VoiceKind::OplFourOp: return {kOplColumns, kOpnRows, opl_voice::TL};
    case VoiceKind::OpllCustom:
    case VoiceKind::OpllPreset: return {kOpllColumns, kOplRows, opl_voice::TL};
  }
  return {kOpnColumns, kOpnRows, opn_voice::TL};
}

bool SameTimbre(const Voice& a, const Voice& b) {
  if (a.kind != b.kind || a.operators != b.operators || a.alg != b.alg || a.fb != b.fb || a.ams != b.ams ||
      a.pms != b.pms || a.preset != b.preset || a.carriers != b.carriers) {
    return false;
  }
  const int tl = LayoutOf(a.kind).tlColumn;
  for (int k = 0; k < a.operators; ++k) {
    const auto& x = a.op[static_cast<std::size_t>(k)];
    const auto& y = b.op[static_cast<std::size_t>(k)];
    const bool carrier = (a.carriers >> k) & 1u;
    for (int c = 0; c < kVoiceColumns; ++c) {
      if (carrier && c == tl) continue;
      if (x[static_cast<std::size_t>(c)] != y[static_cast<std::size_t>(c)]) return false;
    }
  }
  return true;
}

}  // namespace tavrin
