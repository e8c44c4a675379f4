// Creation of the per-conversion decoders named by the dispatch table.
#include "engine/dispatch.h"

#include "decoders/dcsg.h"
#include "decoders/opl.h"
#include "decoders/opll.h"
#include "decoders/opm.h"
#include "decoders/opn.h"

namespace tavrin {

DecoderSet::DecoderSet() = default;
DecoderSet::~DecoderSet() = default;

DetailDecoder* DecoderSet::ForType(std::uint32_t type) {
  const DecoderFamily family = DecoderFamilyOf(type);
  auto& slot = decoders_[static_cast<std::size_t>(family)];
  if (!slot) {
    switch (family) {
      case DecoderFamily::None: return nullptr;
      case DecoderFamily::Opn: slot = std::make_unique<OpnDetailDecoder>(); break;
      case DecoderFamily::Opm: slot = std::make_unique<OpmDetailDecoder>(); break;
      case DecoderFamily::Opll: slot = std::make_unique<OpllDetailDecoder>(); break;
      case DecoderFamily::Opl: slot = std::make_unique<OplDetailDecoder>(); break;
      case DecoderFamily::Dcsg: slot = std::make_unique<DcsgDetailDecoder>(); break;
    }
  }
  return slot.get();
}

}  // namespace tavrin
