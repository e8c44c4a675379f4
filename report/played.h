// Notes as played: per chip channel, each note from its key-on to its key-off, with bends, velocity and voice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chips/voice.h"
#include "core/byte_reader.h"
#include "core/command.h"
#include "formats/s98/s98.h"
#include "report/section.h"
#include "report/selection.h"

namespace tavrin {

// A pitch change while a note sounds.
struct PlayedBend {
  std::uint64_t tick = 0;
  double key = 0.0;  // the exact MIDI key (69: A4 at 440 Hz), fractions for what lies between
};

struct PlayedNote {
  std::uint64_t start = 0;  // ticks of the waits before the key-on
  std::uint64_t end = 0;    // and before the key-off (or the end)
  double key = 0.0;         // exact MIDI key at the key-on; a General MIDI drum key on a drum channel
  std::uint8_t velocity = 0;
  int program = -1;  // the voice it was keyed with (0, 1, ... in order of first use); -1 without an FM voice
  std::vector<PlayedBend> bends;
};

// One chip channel that played: all its notes in order, none overlapping (a drum channel's may).
struct PlayedChannel {
  int device = 0;
  std::string name;  // "#00 OPNA FM#1", "#00 OPNA RHYTHM"
  bool drums = false;
  std::vector<PlayedNote> notes;
};

struct PlayedSong {
  TickRate rate;
  std::uint64_t startTick = 0;  // the first and last tick inside --from/--to
  std::uint64_t endTick = 0;
  std::optional<std::uint64_t> loopTick;  // inside the range
  std::string title;
  std::vector<PlayedChannel> channels;  // by device, then channel; only channels with a note
};

// A drum hit of a rhythm unit or an ADPCM start lasts this long when nothing ends it.
inline constexpr double kHitSeconds = 0.1;

// Follows the register model and writes down each channel's notes. Channels of the devices not
// chosen with --device, and notes outside --from/--to, are left out; notes crossing a bound are cut.
class PlayedNotes final : public ReportSection {
 public:
  PlayedNotes(const StreamHead& head, const DumpWindow& window, const RegisterModel& model);

  void Observe(const WalkStep& step) override;
  void Finish(std::int32_t endBound) override;
  bool NeedsWholeStream() const override { return false; }

  // "\r\n[ Played Notes ]\r\n", then one line per channel: its name, notes and bends.
  void WriteText(ReportSink& out) const override;
  // One "playedChannel" object per channel.
  void WriteJson(ReportSink& out) const override;

  const PlayedSong& song() const { return song_; }

 private:
  struct Open {
    int channel = -1;  // index into song_.channels, -1 before the first note
    bool sounding = false;
    double key = 0.0;  // the key of the last bend
  };
  int ChannelFor(int device, std::string_view name, bool drums, std::vector<int>& index, std::size_t slot);
  void Close(int channel, std::uint64_t tick);
  void OpenNote(int channel, std::uint64_t tick, double key, std::uint8_t velocity, int program);
  int ProgramOf(const Voice& voice);

  const RegisterModel& model_;
  const DumpWindow window_;
  PlayedSong song_;
  bool started_ = false;
  std::uint64_t tick_ = 0;  // ticks of every wait seen
  std::uint64_t hitTicks_ = 1;
  std::vector<std::vector<Open>> open_;         // [device][sound channel]
  std::vector<std::vector<int>> soundIndex_;    // [device][sound channel]: index in song_.channels
  std::vector<int> rhythmIndex_;                // [device]: the device's rhythm channel
  std::vector<Voice> voices_;                   // in order of first use
  std::vector<std::size_t> order_;              // [channel]: device x 64 + its place on the chip
};

// The notes of one log as --midi and --roll take them under `options` (whose window is `window`), from
// a walk that writes nothing. `in` has read the head (of an S98 log: its device records).
// `info` is the S98Info or the VgmInfo of the log.
template <typename LogInfo>
PlayedSong CollectPlayedNotes(ByteReader& in, const LogInfo& info, const ConversionOptions& options,
                              const DumpWindow& window);

// One line per channel: "#00 OPNA(YM2608) FM#1  notes 12  bends 3" and `lineEnd` (the --midi log, the
// text section).
void WritePlayedSummary(ReportSink& out, const PlayedSong& song, std::string_view lineEnd);

// The General MIDI drum key of a rhythm instrument as the chips name it ("BD", "HH", ...).
int DrumKeyOf(std::string_view instrument);

}  // namespace tavrin
