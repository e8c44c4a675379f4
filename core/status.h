// Status texts of a conversion: an empty status means success, anything else is shown after "-> ".
#pragma once

#include <string_view>

namespace tavrin {

inline constexpr std::string_view kStatusFileOpenError = "File open error.";
inline constexpr std::string_view kStatusFileReadError = "File read error.";
inline constexpr std::string_view kStatusNotS98 = "This is not S98 format.";
inline constexpr std::string_view kStatusNotVgm = "This is not VGM format.";
inline constexpr std::string_view kStatusVgmShortHead = "VGM header is cut short.";
inline constexpr std::string_view kStatusVersionError = "S98 version error.";
inline constexpr std::string_view kStatusOutputOpenError = "File open error(out).";
inline constexpr std::string_view kStatusTooManyDevices = "Too many devices.";
inline constexpr std::string_view kStatusWriteError = "File write error.";
inline constexpr std::string_view kStatusSameFile = "Input and output are the same file.";
// A file of a batch whose report path is the report path of an earlier file of the same batch, or is
// another file of the batch: refused, so no report of the batch overwrites another or an input.
inline constexpr std::string_view kStatusBatchClash = "Report clashes with another file of this batch.";
// A complete report that could not be renamed into place; the reason follows ("Operation not permitted.").
inline constexpr std::string_view kStatusNotPlaced = "Report written but not put in place: ";
// A time bound (--from/--to in seconds) on a file whose timer numerator or denominator is not positive.
inline constexpr std::string_view kStatusTimeNeedsTimer = "Time range needs a positive timer.";

}  // namespace tavrin
