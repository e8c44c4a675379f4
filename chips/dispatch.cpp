// The dispatch table: one row per device type code.
#include "chips/dispatch.h"

#include <array>

#include "chips/dcsg/dcsg.h"
#include "chips/opl/opl.h"
#include "chips/opll/opll.h"
#include "chips/opm/opm.h"
#include "chips/opn/opn.h"

namespace tavrin {

namespace {

constexpr std::array<const ChipFamily*, kDeviceTypeCount> kChipDispatch = {
    nullptr,       // 0  NONE
    &kOpnFamily,   // 1  PSG(YM2149): the SSG registers of the combined OPN map
    &kOpnFamily,   // 2  OPN(YM2203)
    &kOpnFamily,   // 3  OPN2(YM2612)
    &kOpnFamily,   // 4  OPNA(YM2608)
    &kOpmFamily,   // 5  OPM(YM2151)
    &kOpllFamily,  // 6  OPLL(YM2413)
    &kOplFamily,   // 7  OPL(YM3526)
    &kOplFamily,   // 8  OPL2(YM3812)
    &kOplFamily,   // 9  OPL3(YMF262)
    nullptr,       // 10..14 unassigned
    nullptr,       //
    nullptr,       //
    nullptr,       //
    nullptr,       //
    &kOpnFamily,   // 15 PSG(AY-3-8910)
    &kDcsgFamily,  // 16 DCSG(SN76489)
};

}  // namespace

const ChipFamily* FamilyOf(std::uint32_t type) { return type < kDeviceTypeCount ? kChipDispatch[type] : nullptr; }

}  // namespace tavrin
