// The one table from a device type code to its chip family.
#pragma once

#include <cstdint>

#include "chips/family.h"

namespace tavrin {

// The family of a device type code; null for codes that name no chip Tavrin knows (0, 10..14, above 16).
const ChipFamily* FamilyOf(std::uint32_t type);

}  // namespace tavrin
