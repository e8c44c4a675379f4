// The voice an OPM channel holds: operator rows $40-$FF, algorithm and feedback $20, LFO sensitivities $38.
//
//   operator blocks from each row: M1 +0, M2 +8, C1 +16, C2 +24; channel = low three bits
//   40  -xxx---- DT1  ----xxxx MUL         A0  x------- AMS-EN  ---xxxxx D1R
//   60  -xxxxxxx TL                        C0  xx------ DT2     ---xxxxx D2R
//   80  xx------ KS   ---xxxxx AR          E0  xxxx---- D1L     ----xxxx RR
//   20  --xxx--- FB   -----xxx ALG         38  -xxx---- PMS     ------xx AMS
// Rows are listed M1, C1, M2, C2: the order of the algorithm diagrams (operators 1-4).
#include "chips/opm/opm.h"

#include "core/bits.h"

namespace tavrin {

namespace {

constexpr std::array<unsigned, 4> kBlockOfRow = {0, 2, 1, 3};  // M1, C1, M2, C2
constexpr int kOpmChannels = 8;

using namespace opm_voice;
constexpr std::array<VoiceField, 11> kOpmFields = {{{AR, 0x80, 0, 5}, {D1R, 0xA0, 0, 5}, {D2R, 0xC0, 0, 5},
                                                    {RR, 0xE0, 0, 4}, {D1L, 0xE0, 4, 4}, {TL, 0x60, 0, 7},
                                                    {KS, 0x80, 6, 2}, {MUL, 0x40, 0, 4}, {DT1, 0x40, 4, 3},
                                                    {DT2, 0xC0, 6, 2}, {AME, 0xA0, 7, 1}}};

}  // namespace

bool CaptureOpmVoice(const ChipState& state, const DeviceInfo& /*device*/, int channel, Voice& voice) {
  if (channel < 0 || channel >= kOpmChannels) return false;
  const auto& bank = state.Registers[0];
  const unsigned c = static_cast<unsigned>(channel);
  voice = Voice{};
  voice.kind = VoiceKind::Opm;
  voice.operators = 4;
  for (std::size_t k = 0; k < 4; ++k) ReadVoiceFields(bank, c + 8 * kBlockOfRow[k], kOpmFields, voice.op[k]);
  voice.alg = static_cast<std::uint8_t>(Bitfield(bank[0x20 + c], 0, 3));
  voice.fb = static_cast<std::uint8_t>(Bitfield(bank[0x20 + c], 3, 3));
  voice.pms = static_cast<std::uint8_t>(Bitfield(bank[0x38 + c], 4, 3));
  voice.ams = static_cast<std::uint8_t>(Bitfield(bank[0x38 + c], 0, 2));
  voice.carriers = FourOpCarriers(voice.alg);
  return true;
}

}  // namespace tavrin
