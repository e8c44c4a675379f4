// Folders opened with -r, and the log of a batch with its summary line.
#include "cli/batch.h"

#include "cli/guards.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "engine/paths.h"

namespace tavrin::cli {

namespace {

namespace fs = std::filesystem;

// ".s98", ".vgm" or ".vgz" in any case at the end of the name (the format itself is told by content).
bool HasLogExtension(const fs::path& path) {
  const fs::path::string_type& name = path.native();
  constexpr std::size_t length = 4;
  if (name.size() < length) return false;
  for (const std::string_view extension : {".s98", ".vgm", ".vgz"}) {
    bool same = true;
    for (std::size_t i = 0; i < length && same; ++i) {
      auto c = name[name.size() - length + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<decltype(c)>(c - 'A' + 'a');
      same = c == static_cast<decltype(c)>(extension[i]);
    }
    if (same) return true;
  }
  return false;
}

// The path as a command-line argument would spell it: its bytes on POSIX, UTF-8 on Windows.
std::string ArgumentOf(const fs::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

// Every S98 and VGM file under `folder`, in the order the folder lists them. A folder that cannot be listed
// is kept as an entry of its own.
void CollectLogFiles(const fs::path& folder, std::vector<fs::path>& found) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::error_code typeError;
    if (entry.is_symlink(typeError)) {
      // A link to a folder could lead back up the tree; a link to a file (or to nothing) counts as one.
      if (!fs::is_directory(entry.path(), typeError) && HasLogExtension(entry.path()))
        found.push_back(entry.path());
    } else if (entry.is_directory(typeError)) {
      CollectLogFiles(entry.path(), found);
    } else if (entry.is_regular_file(typeError) && HasLogExtension(entry.path())) {
      found.push_back(entry.path());
    }
  }
  if (ec) found.push_back(folder);
}

}  // namespace

std::vector<BatchFile> ExpandArguments(const std::vector<std::string>& arguments, bool recursive,
                                       std::vector<std::string>& emptyFolders) {
  std::vector<BatchFile> batch;
  for (const std::string& argument : arguments) {
    const fs::path path = PathFromArgument(argument);
    std::error_code ec;
    if (!recursive || argument == "-" || !fs::is_directory(path, ec)) {
      batch.push_back({argument, LogName(fs::path(FileNamePart(path)))});
      continue;
    }
    std::vector<fs::path> found;
    CollectLogFiles(path, found);
    std::sort(found.begin(), found.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    if (found.empty()) emptyFolders.push_back(argument);
    for (const fs::path& file : found) {
      std::string name = ArgumentOf(file);
      batch.push_back({name, PrintableName(name)});
    }
  }
  return batch;
}

std::string StandardInputProblem(const std::vector<BatchFile>& batch, bool inputIsTerminal) {
  const auto reads =
      std::count_if(batch.begin(), batch.end(), [](const BatchFile& f) { return f.argument == "-"; });
  if (reads > 1) return "standard input can be read only once";
  if (reads == 1 && inputIsTerminal) {
    return "standard input is a terminal: pipe an S98 or VGM file into it or redirect one (< song.s98)";
  }
  return {};
}

std::string SummaryLine(std::size_t ok, std::size_t failed) {
  return std::to_string(ok + failed) + " files: " + std::to_string(ok) + " ok, " + std::to_string(failed) +
         " failed";
}

void BatchLog::Outcome(const std::string& name, const std::string& status) {
  ++(status.empty() ? ok_ : failed_);
  if (quiet_ && status.empty()) return;
  auto cleared = progress_.Clear();
  std::fprintf(stream_, "%s\n-> %s\n", name.c_str(), status.empty() ? "ok" : status.c_str());
  std::fflush(stream_);
}

void BatchLog::Summary() {
  if (ok_ + failed_ < 2) return;
  auto cleared = progress_.Clear();
  std::fprintf(stream_, "%s\n", SummaryLine(ok_, failed_).c_str());
  std::fflush(stream_);
}

}  // namespace tavrin::cli
