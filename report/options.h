// What a conversion is asked to show: the options as typed, and the plan of one walk derived from them once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "report/selection.h"

namespace tavrin {

enum class ReportFormat : std::uint8_t {
  Text,       // the report: header section, device list, dump lines with CR LF
  JsonLines,  // --json: one JSON object per line (head, then one per command), LF line ends
};

struct ConversionOptions {
  bool verbose = false;           // -v: annotate every register write
  bool skipVersionCheck = false;  // -f: accept any version byte
  bool notes = false;             // --notes: after each pitch-setting write, the note and frequency it sets
  // The options below leave the report as it is when they are left at their defaults.
  DumpSelection selection{};  // --from, --to, --device: the dump lines shown
  bool tags = false;          // --tags: the tag block, after the information section
  bool stats = false;         // --stats: counts, duration and loop, after the dump section
  bool voices = false;        // --voices: the FM voices keyed, after the dump section
  bool voicesOnly = false;    // --voices-only: the head sections and the voices, no dump lines
  std::vector<StatePoint> stateAt{};  // --state-at: register state snapshots, after the dump and statistics
  bool stateOnly = false;           // --state-only: the snapshots without the dump section
  ReportFormat format = ReportFormat::Text;
  // Writes the report on a thread of its own while the next block is formatted. Worth it when a core
  // is free; off when conversions already run side by side (tavrin with several files).
  bool writerThread = true;
  // Grows by every block of input read, so another thread can show how far the conversion has got.
  std::atomic<std::uint64_t>* bytesRead = nullptr;
  // Where a conversion that succeeds but selects nothing says so (--device naming a device the file
  // lacks, a --from/--to range without a command); null: not said.
  std::string* notice = nullptr;
};

// The options of a walk that writes no report and only feeds its own sections: the version check and
// the selection of `options`, nothing else.
inline ConversionOptions SectionsOnly(const ConversionOptions& options) {
  ConversionOptions only;
  only.skipVersionCheck = options.skipVersionCheck;
  only.selection = options.selection;
  return only;
}

// What one walk does, decided once from the options; the writers and sections read this, never the
// options themselves.
struct WalkPlan {
  explicit WalkPlan(const ConversionOptions& options)
      : annotate(options.verbose || options.notes),
        notes(options.notes),
        tags(options.tags),
        stats(options.stats),
        voices(options.voices || options.voicesOnly),
        dump(!options.voicesOnly && !options.stateOnly),
        selective(options.selection.Active()),
        stateAt(options.stateAt),
        model(options.notes || options.stats || voices || !options.stateAt.empty()) {}

  bool annotate;   // run the annotators (-v; --notes shows their text too)
  bool notes;      // the note a pitch write sets
  bool tags;       // the tag section
  bool stats;      // the statistics section (walks the whole dump)
  bool voices;     // the voices section (reads the register model at each key-on)
  bool dump;       // the dump section is written (not with --voices-only or --state-only)
  bool selective;  // a window or device filter hides some lines
  std::vector<StatePoint> stateAt;  // the snapshots, in the order asked
  bool model;      // the register model is kept (what notes, statistics, snapshots and voices read)
};

}  // namespace tavrin
