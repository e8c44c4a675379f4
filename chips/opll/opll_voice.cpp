// The voice an OPLL channel holds: the custom instrument of $00-$07 when it plays instrument 0, else
// the number of a built-in instrument. The carrier's level is the channel volume, which merges away.
//
//   00/01  x------- AM  -x------ VIB  --x----- EG  ---x---- KSR  ----xxxx MUL   (modulator / carrier)
//   02     xx------ KSL (modulator)   --xxxxxx TL (modulator)
//   03     xx------ KSL (carrier)     ---x---- DC  ----x--- DM  -----xxx FB
//   04/05  xxxx---- AR  ----xxxx DR   06/07  xxxx---- SL  ----xxxx RR
//   30-38  xxxx---- instrument        ----xxxx volume (attenuation, 3 dB steps)
//   0E     --x----- rhythm mode: channels 6-8 play the rhythm instruments
#include "chips/opll/opll.h"

#include "core/bits.h"

namespace tavrin {

namespace {

constexpr int kOpllChannels = 9;

void ReadCharacter(unsigned value, std::array<std::uint8_t, kVoiceColumns>& op) {
  using namespace opl_voice;
  op[AM] = static_cast<std::uint8_t>(Bitfield(value, 7, 1));
  op[VIB] = static_cast<std::uint8_t>(Bitfield(value, 6, 1));
  op[EG] = static_cast<std::uint8_t>(Bitfield(value, 5, 1));
  op[KSR] = static_cast<std::uint8_t>(Bitfield(value, 4, 1));
  op[MUL] = static_cast<std::uint8_t>(Bitfield(value, 0, 4));
}

void ReadEnvelope(unsigned attackDecay, unsigned sustainRelease, std::array<std::uint8_t, kVoiceColumns>& op) {
  using namespace opl_voice;
  op[AR] = static_cast<std::uint8_t>(Bitfield(attackDecay, 4, 4));
  op[DR] = static_cast<std::uint8_t>(Bitfield(attackDecay, 0, 4));
  op[SL] = static_cast<std::uint8_t>(Bitfield(sustainRelease, 4, 4));
  op[RR] = static_cast<std::uint8_t>(Bitfield(sustainRelease, 0, 4));
}

}  // namespace

bool CaptureOpllVoice(const ChipState& state, const DeviceInfo& /*device*/, int channel, Voice& voice) {
  if (channel < 0 || channel >= kOpllChannels) return false;
  const auto& bank = state.Registers[0];
  if (channel >= 6 && Bit(bank[0x0E], 5)) return false;
  const unsigned setting = bank[0x30 + static_cast<unsigned>(channel)];
  const unsigned instrument = Bitfield(setting, 4, 4);
  voice = Voice{};
  voice.carriers = 0x2;
  voice.op[1][opl_voice::TL] = static_cast<std::uint8_t>(Bitfield(setting, 0, 4));
  if (instrument != 0) {
    voice.kind = VoiceKind::OpllPreset;
    voice.preset = static_cast<std::uint8_t>(instrument);
    return true;
  }
  using namespace opl_voice;
  voice.kind = VoiceKind::OpllCustom;
  voice.operators = 2;
  ReadCharacter(bank[0x00], voice.op[0]);
  ReadCharacter(bank[0x01], voice.op[1]);
  voice.op[0][KSL] = static_cast<std::uint8_t>(Bitfield(bank[0x02], 6, 2));
  voice.op[0][TL] = static_cast<std::uint8_t>(Bitfield(bank[0x02], 0, 6));
  voice.op[1][KSL] = static_cast<std::uint8_t>(Bitfield(bank[0x03], 6, 2));
  voice.op[1][WS] = static_cast<std::uint8_t>(Bitfield(bank[0x03], 4, 1));
  voice.op[0][WS] = static_cast<std::uint8_t>(Bitfield(bank[0x03], 3, 1));
  voice.fb = static_cast<std::uint8_t>(Bitfield(bank[0x03], 0, 3));
  ReadEnvelope(bank[0x04], bank[0x06], voice.op[0]);
  ReadEnvelope(bank[0x05], bank[0x07], voice.op[1]);
  return true;
}

}  // namespace tavrin
