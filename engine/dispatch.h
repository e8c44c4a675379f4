// The one table from DeviceType to decoder, and the decoders of one conversion.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/detail_decoder.h"
#include "engine/s98.h"

namespace tavrin {

enum class DecoderFamily : std::uint8_t { None, Opn, Opm, Opll, Opl, Dcsg };

// Arguments each family takes: OPN, OPM, OPL (device, port, register, value); OPLL (device, register,
// value); DCSG (device, value).
inline constexpr std::array<DecoderFamily, kDeviceTypeCount> kDecoderDispatch = {
    DecoderFamily::None,  // 0  NONE
    DecoderFamily::Opn,   // 1  PSG(YM2149): SSG registers of the combined OPN map
    DecoderFamily::Opn,   // 2  OPN(YM2203)
    DecoderFamily::Opn,   // 3  OPN2(YM2612)
    DecoderFamily::Opn,   // 4  OPNA(YM2608)
    DecoderFamily::Opm,   // 5  OPM(YM2151)
    DecoderFamily::Opll,  // 6  OPLL(YM2413)
    DecoderFamily::Opl,   // 7  OPL(YM3526)
    DecoderFamily::Opl,   // 8  OPL2(YM3812)
    DecoderFamily::Opl,   // 9  OPL3(YMF262)
    DecoderFamily::None,  // 10..14 unassigned
    DecoderFamily::None,  //
    DecoderFamily::None,  //
    DecoderFamily::None,  //
    DecoderFamily::None,  //
    DecoderFamily::Opn,   // 15 PSG(AY-3-8910)
    DecoderFamily::Dcsg,  // 16 DCSG(SN76489)
};

// Codes above 16 (the field taken as unsigned) have no decoder.
constexpr DecoderFamily DecoderFamilyOf(std::uint32_t type) {
  return type < kDeviceTypeCount ? kDecoderDispatch[type] : DecoderFamily::None;
}

// Owns the decoders of one conversion; each is made, with zero state, the first time it is asked for.
class DecoderSet {
 public:
  DecoderSet();
  ~DecoderSet();
  DecoderSet(const DecoderSet&) = delete;
  DecoderSet& operator=(const DecoderSet&) = delete;

  // Null for types that have no decoder.
  DetailDecoder* ForType(std::uint32_t type);

 private:
  std::array<std::unique_ptr<DetailDecoder>, 6> decoders_;
};

}  // namespace tavrin
