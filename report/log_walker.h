// The command reader of a log's own format, for the consumers that walk an S98 and a VGM log alike.
#pragma once

#include "core/byte_reader.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/s98.h"
#include "formats/s98/s98_sections.h"
#include "formats/vgm/vgm.h"
#include "formats/vgm/vgm_walker.h"

namespace tavrin {

// Returns use(walker, head, devices) with the reader of `info`'s format over `in` (which has read
// the head), the stream's head and its device table.
template <typename Use>
auto WithWalker(ByteReader& in, const S98Info& info, Use&& use) {
  DumpWalker walker(in, info.header);
  return use(walker, StreamHeadOf(info), DeviceTableOf(info));
}
template <typename Use>
auto WithWalker(ByteReader& in, const VgmInfo& info, Use&& use) {
  VgmWalker walker(in, info);
  return use(walker, StreamHeadOf(info), DeviceTableOf(info));
}

}  // namespace tavrin
