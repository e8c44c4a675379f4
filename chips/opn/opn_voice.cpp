// The voice an OPN-family FM channel holds: operator rows $30-$9F, algorithm and feedback $B0, LFO
// sensitivities $B4, read from the channel's bank (channels 3-5 from port 1).
//
//   operator k (slot k+1) of channel c sits at register row + c + {0, 8, 4, 12}[k]
//   30  -xxx---- DT   ----xxxx ML          60  x------- AM   ---xxxxx DR
//   40  -xxxxxxx TL                        70  ---xxxxx SR
//   50  xx------ KS   ---xxxxx AR          80  xxxx---- SL   ----xxxx RR
//   90  ----xxxx SSG-EG                    B0  --xxx--- FB   -----xxx ALG
//   B4  --xx---- AMS  -----xxx PMS (not on the OPN, which has no LFO)
//   27  xx------ FM#2 mode (port 0): 00 normal, else one frequency per operator
#include "chips/opn/opn.h"

#include "core/bits.h"

namespace tavrin {

namespace {

constexpr std::array<unsigned, 4> kSlotOffset = {0, 8, 4, 12};
constexpr std::uint32_t kOpn = static_cast<std::uint32_t>(DeviceType::Opn);
constexpr std::uint32_t kOpn2 = static_cast<std::uint32_t>(DeviceType::Opn2);
constexpr std::uint32_t kOpna = static_cast<std::uint32_t>(DeviceType::Opna);
constexpr int kSpecialChannel = 2;

using namespace opn_voice;
constexpr std::array<VoiceField, 11> kOpnFields = {{{AR, 0x50, 0, 5}, {DR, 0x60, 0, 5}, {SR, 0x70, 0, 5},
                                                    {RR, 0x80, 0, 4}, {SL, 0x80, 4, 4}, {TL, 0x40, 0, 7},
                                                    {KS, 0x50, 6, 2}, {ML, 0x30, 0, 4}, {DT, 0x30, 4, 3},
                                                    {SSG, 0x90, 0, 4}, {AM, 0x60, 7, 1}}};

}  // namespace

bool CaptureOpnVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice) {
  const int channels = device.type == kOpn ? 3 : (device.type == kOpn2 || device.type == kOpna) ? 6 : 0;
  if (channel < 0 || channel >= channels) return false;
  const auto& bank = state.Registers[static_cast<std::size_t>(channel / 3)];
  const unsigned c = static_cast<unsigned>(channel % 3);
  const bool lfo = device.type != kOpn;
  voice = Voice{};
  voice.kind = VoiceKind::Opn;
  voice.operators = 4;
  for (std::size_t k = 0; k < 4; ++k) {
    ReadVoiceFields(bank, c + kSlotOffset[k], kOpnFields, voice.op[k]);
    if (!lfo) voice.op[k][opn_voice::AM] = 0;
  }
  voice.alg = static_cast<std::uint8_t>(Bitfield(bank[0xB0 + c], 0, 3));
  voice.fb = static_cast<std::uint8_t>(Bitfield(bank[0xB0 + c], 3, 3));
  voice.ams = lfo ? static_cast<std::uint8_t>(Bitfield(bank[0xB4 + c], 4, 2)) : 0;
  voice.pms = lfo ? static_cast<std::uint8_t>(Bitfield(bank[0xB4 + c], 0, 3)) : 0;
  voice.carriers = FourOpCarriers(voice.alg);
  voice.specialMode = channel == kSpecialChannel && Bitfield(state.Registers[0][0x27], 6, 2) != 0;
  return true;
}

}  // namespace tavrin
