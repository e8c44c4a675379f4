// Patch file writers for --voices-dir. Each follows the published layout cited beside it.
#include "report/voice_files.h"

#include <cstdio>

namespace tavrin {

namespace {

bool IsFourOpFm(VoiceKind kind) { return kind == VoiceKind::Opn || kind == VoiceKind::Opm; }

// "%d"s into a std::string, for the text formats (which are not reports).
template <typename... Args>
void Append(std::string& text, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  const std::size_t at = text.size();
  text.resize(at + static_cast<std::size_t>(n) + 1);
  std::snprintf(text.data() + at, static_cast<std::size_t>(n) + 1, format, args...);
  text.pop_back();  // the NUL snprintf writes
}

std::string VoiceTitle(std::string_view title, const VoiceEntry& e) {
  return std::string(title) + " " + std::string(e.family) + " @" + std::to_string(e.id);
}

// OPN-family and OPM voices hold the same four operators under different names: rows are operators
// 1-4 (OPN slots 1-4 = OPM M1 C1 M2 C2). Row k as the OPM's fields, OPN fields mapped across:
// D1R = DR, D2R = SR, D1L = SL, MUL = ML, DT1 = DT, AMS-EN = AM; DT2 (OPM only) 0 for an OPN voice.
struct OpmRow {
  unsigned ar, d1r, d2r, rr, d1l, tl, ks, mul, dt1, dt2, ame;
};
OpmRow RowAsOpm(const Voice& v, std::size_t k) {
  const auto& o = v.op[k];
  if (v.kind == VoiceKind::Opm) {
    using namespace opm_voice;
    return {o[AR], o[D1R], o[D2R], o[RR], o[D1L], o[TL], o[KS], o[MUL], o[DT1], o[DT2], o[AME]};
  }
  using namespace opn_voice;
  return {o[AR], o[DR], o[SR], o[RR], o[SL], o[TL], o[KS], o[ML], o[DT], 0, o[AM]};
}

// The OPN's register order: slots 1, 3, 2, 4 sit at $30, $34, $38, $3C.
constexpr std::array<std::size_t, 4> kRegisterOrder = {0, 2, 1, 3};

// DT as the chip holds it (bit 2 the sign, bits 1-0 the size) to a signed step -3..+3.
int SignedDetune(unsigned dt) { return (dt & 4u) != 0 ? -static_cast<int>(dt & 3u) : static_cast<int>(dt & 3u); }

}  // namespace

// TFI (TFM Music Maker), 42 bytes: algorithm, feedback, then per operator in slot order 1, 3, 2, 4
// ten bytes: multiple, detune (0-6, 3 is none), total level, rate scaling, attack, decay, sustain
// rate, release, sustain level, SSG-EG. Layout: vgmrips wiki "TFI File Format"
// (http://vgmrips.net/wiki/TFI_File_Format) and plutiedev "TFI and VGI formats"
// (https://plutiedev.com/format-tfi). Not held: per-operator AM enable, AMS, PMS.
std::array<std::uint8_t, 42> TfiBytes(const Voice& voice) {
  using namespace opn_voice;
  std::array<std::uint8_t, 42> bytes{};
  bytes[0] = voice.alg;
  bytes[1] = voice.fb;
  std::size_t at = 2;
  for (const std::size_t k : kRegisterOrder) {
    const auto& o = voice.op[k];
    const std::array<std::uint8_t, 10> fields = {
        o[ML], static_cast<std::uint8_t>(3 + SignedDetune(o[DT])), o[TL], o[KS], o[AR], o[DR], o[SR],
        o[RR], o[SL], o[SSG]};
    for (const std::uint8_t f : fields) bytes[at++] = f;
  }
  return bytes;
}

// SBI (Sound Blaster Instrument), 52 bytes: "SBI" 1Ah, a 32-byte NUL-terminated name, then the OPL
// register bytes modulator/carrier $20, $40, $60, $80, $E0 in pairs, $C0, and 5 bytes of padding.
// Layout: ModdingWiki "SBI Format" (https://moddingwiki.shikadi.net/wiki/SBI_Format). Not held: the
// OPL3's output bits (the voice has none of them anyway); the third waveform bit is kept as the OPL3 reads it.
std::array<std::uint8_t, 52> SbiBytes(const Voice& voice, std::string_view name) {
  using namespace opl_voice;
  std::array<std::uint8_t, 52> bytes{};
  bytes[0] = 'S';
  bytes[1] = 'B';
  bytes[2] = 'I';
  bytes[3] = 0x1A;
  for (std::size_t i = 0; i < name.size() && i < 31; ++i) bytes[4 + i] = static_cast<std::uint8_t>(name[i]);
  for (std::size_t k = 0; k < 2; ++k) {
    const auto& o = voice.op[k];
    bytes[0x24 + k] = static_cast<std::uint8_t>(o[AM] << 7 | o[VIB] << 6 | o[EG] << 5 | o[KSR] << 4 | o[MUL]);
    bytes[0x26 + k] = static_cast<std::uint8_t>(o[KSL] << 6 | o[TL]);
    bytes[0x28 + k] = static_cast<std::uint8_t>(o[AR] << 4 | o[DR]);
    bytes[0x2A + k] = static_cast<std::uint8_t>(o[SL] << 4 | o[RR]);
    bytes[0x2C + k] = o[WS];
  }
  bytes[0x2E] = static_cast<std::uint8_t>(voice.fb << 1 | (voice.alg & 1u));
  return bytes;
}

// VOPM bank (.opm), the VOPM/VOPMex text format: per voice "@:num name", "LFO: LFRQ AMD PMD WF NFRQ",
// "CH: PAN FL CON AMS PMS SLOT NE" and rows M1, C1, M2, C2 of "AR D1R D2R RR D1L TL KS MUL DT1 DT2
// AMS-EN", all decimal; PAN is the $20 output bits (192 both), AMS-EN is 0 or 128, SLOT 120 keys all
// four operators. Layout: vgmrips wiki "OPM File Format" (https://vgmrips.net/wiki/OPM_File_Format).
// Not held: an OPN voice's SSG-EG; the LFO (a chip setting, not part of a voice) is written as 0.
std::string VopmBank(const VoiceBank& bank, std::string_view title) {
  std::string text =
      "//MiOPMdrv sound bank Paramer Ver2002.04.22\r\n"
      "//LFO: LFRQ AMD PMD WF NFRQ\r\n"
      "//@:[Num] [Name]\r\n"
      "//CH: PAN\tFL CON AMS PMS SLOT NE\r\n"
      "//[OPname]: AR D1R D2R  RR D1L  TL  KS MUL DT1 DT2 AMS-EN\r\n";
  constexpr std::array<const char*, 4> kRows = {"M1", "C1", "M2", "C2"};
  int number = 0;
  for (const VoiceEntry& e : bank.voices) {
    if (!IsFourOpFm(e.voice.kind)) continue;
    const Voice& v = e.voice;
    Append(text, "\r\n@:%d %s\r\n", number++, VoiceTitle(title, e).c_str());
    Append(text, "LFO:  0   0   0   0   0\r\n");
    Append(text, "CH: 192 %3u %3u %3u %3u 120   0\r\n", unsigned{v.fb}, unsigned{v.alg}, unsigned{v.ams},
           unsigned{v.pms});
    for (std::size_t k = 0; k < 4; ++k) {
      const OpmRow r = RowAsOpm(v, k);
      Append(text, "%s: %3u %3u %3u %3u %3u %3u %3u %3u %3u %3u %3u\r\n", kRows[k], r.ar, r.d1r, r.d2r, r.rr,
             r.d1l, r.tl, r.ks, r.mul, r.dt1, r.dt2, r.ame * 128);
    }
  }
  return text;
}

// PMD (Professional Music Driver) FM voice: "@number ALG FB", then four operator lines "AR DR SR RR
// SL TL KS ML DT AMS" (AMS the operator's AM enable), in register order $30, $34, $38, $3C as the
// compiled voice keeps them. Layout: PMD MML manual, FM voice definition, and its summary at
// http://garvalf.online.fr/index.php?page=articles_pmd98.en ; register order: ValleyBell's
// pmd_SeqFormat.txt (FM instrument format). Not held: SSG-EG, the channel's AMS and PMS.
// MXDRV (X68000 MDX) voice: "@number={" then rows M1, C1, M2, C2 of "AR,D1R,D2R,RR,D1L,TL,KS,MUL,
// DT1,DT2,AMS-EN" and "CON,FL,OP" (OP the operator mask, 15 all). Layout: vgmrips wiki "MXDRV MML"
// (http://vgmrips.net/wiki/MXDRV_MML) and the MXC manual it follows. Not held: AMS and PMS.
std::string VoiceMml(const VoiceBank& bank, std::string_view title) {
  std::string text;
  Append(text, "; FM voices of %.*s\r\n", static_cast<int>(title.size()), title.data());
  for (const VoiceEntry& e : bank.voices) {
    if (e.voice.kind != VoiceKind::Opn) continue;
    const Voice& v = e.voice;
    Append(text, "\r\n; %s (PMD)\r\n;  nm alg  fb\r\n@%03d %03u %03u\r\n", VoiceTitle(title, e).c_str(), e.id,
           unsigned{v.alg}, unsigned{v.fb});
    text += ";  ar  dr  sr  rr  sl  tl  ks  ml  dt ams\r\n";
    for (const std::size_t k : kRegisterOrder) {
      using namespace opn_voice;
      const auto& o = v.op[k];
      Append(text, " %03u %03u %03u %03u %03u %03u %03u %03u %03u %03u\r\n", unsigned{o[AR]}, unsigned{o[DR]},
             unsigned{o[SR]}, unsigned{o[RR]}, unsigned{o[SL]}, unsigned{o[TL]}, unsigned{o[KS]}, unsigned{o[ML]},
             unsigned{o[DT]}, unsigned{o[AM]});
    }
  }
  for (const VoiceEntry& e : bank.voices) {
    if (e.voice.kind != VoiceKind::Opm) continue;
    const Voice& v = e.voice;
    Append(text, "\r\n/* %s (MXDRV) */\r\n@%d={\r\n/* AR D1R D2R  RR D1L  TL  KS MUL DT1 DT2 AME */\r\n",
           VoiceTitle(title, e).c_str(), e.id);
    for (std::size_t k = 0; k < 4; ++k) {
      const OpmRow r = RowAsOpm(v, k);
      Append(text, "  %2u, %3u, %3u, %3u, %3u, %3u, %3u, %3u, %3u, %3u, %3u,\r\n", r.ar, r.d1r, r.d2r, r.rr, r.d1l,
             r.tl, r.ks, r.mul, r.dt1, r.dt2, r.ame);
    }
    Append(text, "/* CON  FL  OP */\r\n  %3u, %3u,  15\r\n}\r\n", unsigned{v.alg}, unsigned{v.fb});
  }
  return text;
}

std::vector<PatchFile> VoicePatchFiles(const VoiceBank& bank, std::string_view stem) {
  std::vector<PatchFile> files;
  const std::string base(stem);
  bool fourOp = false;
  for (const VoiceEntry& e : bank.voices) {
    const std::string name = base + "_" + std::string(e.family) + "@" + std::to_string(e.id);
    if (e.voice.kind == VoiceKind::Opn) {
      const auto bytes = TfiBytes(e.voice);
      files.push_back({name + ".tfi", std::string(bytes.begin(), bytes.end())});
    } else if (e.voice.kind == VoiceKind::Opl) {
      const auto bytes = SbiBytes(e.voice, VoiceTitle(stem, e));
      files.push_back({name + ".sbi", std::string(bytes.begin(), bytes.end())});
    }
    fourOp = fourOp || IsFourOpFm(e.voice.kind);
  }
  if (fourOp) {
    files.push_back({base + ".opm", VopmBank(bank, stem)});
    files.push_back({base + ".mml", VoiceMml(bank, stem)});
  }
  return files;
}

}  // namespace tavrin
