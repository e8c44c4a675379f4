// The voice an OPL-family channel holds, 2 operators or (OPL3 mode, pair joined) 4.
//
//   operators of channel c (0-8 of its bank): modulator at offset {0,1,2,8,9,10,16,17,18}[c],
//   carrier 3 above; a joined pair c, c+3 plays operators mod(c) car(c) mod(c+3) car(c+3) as 1-4
//   20  x------- AM   -x------ VIB  --x----- EG  ---x---- KSR  ----xxxx MUL
//   40  xx------ KSL  --xxxxxx TL
//   60  xxxx---- AR   ----xxxx DR      80  xxxx---- SL  ----xxxx RR
//   E0  -----xxx waveform: 3 bits in OPL3 mode, 2 on the OPL2 and the OPL3 out of it, none on the OPL;
//                the OPL2 honours it only while $01 bit 5 is set
//   C0  ----xxx- FB   -------x CNT
//   port 1 $05 bit 0: OPL3 mode;  port 1 $04 bits 0-5: pairs 0+3, 1+4, 2+5 of bank 0, then of bank 1
//   $BD bit 5 (rhythm mode): channels 6-8 play the rhythm instruments
//   A joined pair's connection: CNT(c) + 2 CNT(c+3) = 0 1>2>3>4, 1 1 + 2>3>4, 2 1>2 + 3>4, 3 1 + 2>3 + 4
#include "chips/opl/opl.h"

#include "core/bits.h"

namespace tavrin {

namespace {

constexpr std::array<unsigned, 9> kModulatorOffset = {0, 1, 2, 8, 9, 10, 16, 17, 18};
constexpr unsigned kCarrierDistance = 3;
constexpr int kBankChannels = 9;
constexpr std::uint32_t kOpl2 = static_cast<std::uint32_t>(DeviceType::Opl2);
constexpr std::uint32_t kOpl3 = static_cast<std::uint32_t>(DeviceType::Opl3);
constexpr std::array<std::uint8_t, 4> kPairCarriers = {0x8, 0x9, 0xA, 0xD};

using namespace opl_voice;
constexpr std::array<VoiceField, 11> kOplFields = {{{AM, 0x20, 7, 1}, {VIB, 0x20, 6, 1}, {EG, 0x20, 5, 1},
                                                    {KSR, 0x20, 4, 1}, {MUL, 0x20, 0, 4}, {KSL, 0x40, 6, 2},
                                                    {TL, 0x40, 0, 6}, {AR, 0x60, 4, 4}, {DR, 0x60, 0, 4},
                                                    {SL, 0x80, 4, 4}, {RR, 0x80, 0, 4}}};

void ReadOperator(const std::array<std::uint8_t, 256>& bank, unsigned offset, unsigned waveBits,
                  std::array<std::uint8_t, kVoiceColumns>& op) {
  ReadVoiceFields(bank, offset, kOplFields, op);
  op[WS] = waveBits == 0 ? 0 : static_cast<std::uint8_t>(Bitfield(bank[0xE0 + offset], 0, waveBits));
}

}  // namespace

bool CaptureOplVoice(const ChipState& state, const DeviceInfo& device, int channel, Voice& voice) {
  const bool opl3 = device.type == kOpl3;
  if (channel < 0 || channel >= (opl3 ? 2 * kBankChannels : kBankChannels)) return false;
  const int bankIndex = channel / kBankChannels;
  const int c = channel % kBankChannels;
  const auto& bank = state.Registers[static_cast<std::size_t>(bankIndex)];
  if (bankIndex == 0 && c >= 6 && Bit(state.Registers[0][0xBD], 5)) return false;  // a rhythm channel
  const bool opl3Mode = opl3 && Bit(state.Registers[1][0x05], 0);
  unsigned waveBits = 0;
  if (opl3) {
    waveBits = opl3Mode ? 3 : 2;
  } else if (device.type == kOpl2 && Bit(state.Registers[0][0x01], 5)) {
    waveBits = 2;
  }
  const unsigned pairs = opl3Mode ? Bitfield(state.Registers[1][0x04], 0, 6) : 0u;
  const auto pairBit = [&](int first) { return (pairs >> (bankIndex * 3 + first)) & 1u; };
  if (c >= 3 && c < 6 && pairBit(c - 3) != 0) return false;  // keyed through the pair's first channel
  const auto modulator = [](int ch) { return kModulatorOffset[static_cast<std::size_t>(ch)]; };
  voice = Voice{};
  voice.fb = static_cast<std::uint8_t>(Bitfield(bank[0xC0 + static_cast<unsigned>(c)], 1, 3));
  const unsigned connection = Bitfield(bank[0xC0 + static_cast<unsigned>(c)], 0, 1);
  ReadOperator(bank, modulator(c), waveBits, voice.op[0]);
  ReadOperator(bank, modulator(c) + kCarrierDistance, waveBits, voice.op[1]);
  if (c < 3 && pairBit(c) != 0) {
    voice.kind = VoiceKind::OplFourOp;
    voice.operators = 4;
    ReadOperator(bank, modulator(c + 3), waveBits, voice.op[2]);
    ReadOperator(bank, modulator(c + 3) + kCarrierDistance, waveBits, voice.op[3]);
    voice.alg = static_cast<std::uint8_t>(connection + 2 * Bitfield(bank[0xC0 + static_cast<unsigned>(c) + 3], 0, 1));
    voice.carriers = kPairCarriers[voice.alg];
  } else {
    voice.kind = VoiceKind::Opl;
    voice.operators = 2;
    voice.alg = static_cast<std::uint8_t>(connection);
    voice.carriers = connection != 0 ? 0x3 : 0x2;
  }
  return true;
}

}  // namespace tavrin
