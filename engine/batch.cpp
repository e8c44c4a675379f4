// Reports of one batch that would land on one file: the later ones are refused before anything is written.
#include "engine/batch.h"

#include <algorithm>
#include <cwctype>
#include <unordered_map>
#include <unordered_set>

#include "engine/convert.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// One key per file whatever name leads to it: an existing file's device and inode, else the absolute
// path with its existing folders resolved (Windows: in one case, as its file systems compare names).
fs::path::string_type FileKey(const fs::path& path) {
  using Char = fs::path::value_type;
#ifndef _WIN32
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }
#endif
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) absolute = path;
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  fs::path::string_type key = (ec ? absolute : resolved).lexically_normal().native();
#ifdef _WIN32
  std::transform(key.begin(), key.end(), key.begin(), [](Char c) { return static_cast<Char>(std::towlower(c)); });
#endif
  return fs::path::string_type(1, Char('/')) + key;
}

}  // namespace

std::vector<std::string> BatchClashes(std::span<const BatchFile> files) {
  std::vector<fs::path::string_type> inputKeys;
  std::unordered_multiset<fs::path::string_type> inputs;
  inputKeys.reserve(files.size());
  for (const BatchFile& f : files) {
    // An input that is not there cannot be overwritten, so a report may take its name.
    std::error_code ec;
    inputKeys.push_back(fs::exists(f.input, ec) ? FileKey(f.input) : fs::path::string_type());
    if (!inputKeys.back().empty()) inputs.insert(inputKeys.back());
  }

  std::vector<std::string> statuses(files.size());
  std::unordered_set<fs::path::string_type> reports;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path::string_type key = FileKey(files[i].report);
    // A report that is the file's own input is left to the conversion, which refuses it as such.
    if (key == inputKeys[i]) continue;
    const bool otherInput = inputs.count(key) > 0;
    const bool earlierReport = !reports.insert(key).second;
    if (otherInput || earlierReport) statuses[i] = std::string(kStatusBatchClash);
  }
  return statuses;
}

}  // namespace tavrin
