// The rule every front end applies to a batch before converting it: no report lands on another's file.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tavrin {

struct BatchFile {
  std::filesystem::path input;
  std::filesystem::path report;
};

// For each file of a batch, in order: "" when it may be converted, or kStatusBatchClash when its report
// would be the report of an earlier file of the batch (a.s98 and a.S98, or one file named twice) or
// would be another file of the batch (a.s98 beside an input a.txt). Names are compared as the file
// system resolves them: through links, "." and "..", and for existing files by identity.
std::vector<std::string> BatchClashes(std::span<const BatchFile> files);

}  // namespace tavrin
