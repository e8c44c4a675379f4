// Notes as played, taken from the register model after every write: key-on to key-off per channel.
#include "report/played.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>

#include "formats/s98/dump_walker.h"
#include "formats/s98/s98_sections.h"
#include "model/register_model.h"
#include "report/log_walker.h"
#include "report/json_line.h"
#include "report/walk.h"

namespace tavrin {

namespace {

constexpr double kA4Key = 69.0;
constexpr double kA4Hertz = 440.0;
constexpr std::size_t kRhythmOrder = 63;  // a device's rhythm channel sorts after its channels

double KeyOfHertz(double hertz) { return kA4Key + 12.0 * std::log2(hertz / kA4Hertz); }

std::string DeviceChannelName(int device, std::string_view deviceName, std::string_view channel) {
  std::array<char, 8> tag{};
  std::snprintf(tag.data(), tag.size(), "#%02d ", device);
  return std::string(tag.data()) + std::string(deviceName) + " " + std::string(channel);
}

// Cuts a note to [from, to): its key becomes the last bend at or before the new start.
bool ClipNote(PlayedNote& note, std::uint64_t from, std::uint64_t to) {
  if (note.start >= to || note.end <= from) return false;
  if (note.start < from) {
    note.start = from;
    auto kept = note.bends.begin();
    for (; kept != note.bends.end() && kept->tick <= from; ++kept) note.key = kept->key;
    note.bends.erase(note.bends.begin(), kept);
  }
  note.end = std::min(note.end, to);
  std::erase_if(note.bends, [&](const PlayedBend& b) { return b.tick >= note.end; });
  return true;
}

}  // namespace

int DrumKeyOf(std::string_view instrument) {
  struct Drum {
    std::string_view name;
    int key;
  };
  // General MIDI percussion: bass drum 1, acoustic snare, low floor tom, crash cymbal 1, closed hi-hat,
  // side stick; the ADPCM unit plays samples of any kind, so it takes the hand clap.
  static constexpr std::array<Drum, 8> kDrums = {{{"BD", 36}, {"SD", 38}, {"TOM", 41}, {"TOP", 49},
                                                 {"CYM", 49}, {"HH", 42}, {"RIM", 37}, {"ADPCM", 39}}};
  for (const Drum& d : kDrums) {
    if (d.name == instrument) return d.key;
  }
  return 39;
}

PlayedNotes::PlayedNotes(const StreamHead& head, const DumpWindow& window, const RegisterModel& model)
    : model_(model), window_(window), open_(kDeviceIndexCount), soundIndex_(kDeviceIndexCount),
      rhythmIndex_(kDeviceIndexCount, -1) {
  song_.rate = head.rate;
  if (head.rate.numerator > 0 && head.rate.denominator > 0) {
    hitTicks_ = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(kHitSeconds * head.rate.denominator / head.rate.numerator)));
  }
}

int PlayedNotes::ChannelFor(int device, std::string_view name, bool drums, std::vector<int>& index,
                            std::size_t slot) {
  if (index.size() <= slot) index.resize(slot + 1, -1);
  if (index[slot] < 0) {
    index[slot] = static_cast<int>(song_.channels.size());
    PlayedChannel& ch = song_.channels.emplace_back();
    ch.device = device;
    ch.name = DeviceChannelName(device, DeviceName(model_.Info(device).type), name);
    ch.drums = drums;
    ch.notes.reserve(64);
    order_.push_back(static_cast<std::size_t>(device) * 64 + slot);
  }
  return index[slot];
}

int PlayedNotes::ProgramOf(const Voice& voice) {
  for (std::size_t i = 0; i < voices_.size(); ++i) {
    if (voices_[i].kind == voice.kind && SameTimbre(voices_[i], voice)) return static_cast<int>(i);
  }
  voices_.push_back(voice);
  return static_cast<int>(voices_.size() - 1);
}

void PlayedNotes::Observe(const WalkStep& step) {
  const Command& cmd = step.cmd;
  const std::uint64_t tick = step.ticksBefore;
  const std::uint64_t after = cmd.kind == CommandKind::Wait ? tick + static_cast<std::uint32_t>(cmd.ticks) : tick;
  if (window_.Contains(tick, cmd.offset)) {
    // A time bound is the range's own start and end; an offset bound starts at its first command.
    if (!started_) song_.startTick = window_.fromTick > 0 ? window_.fromTick : tick;
    started_ = true;
    song_.endTick = std::min(after, window_.toTick);
  }
  tick_ = after;
  if (cmd.atLoop && !song_.loopTick) song_.loopTick = tick;
  if (cmd.kind != CommandKind::Write) return;
  const int device = cmd.device;
  const ChipFamily* family = model_.Family(device);
  if (family == nullptr || family->Sounds == nullptr) return;
  if (window_.deviceFilter && !window_.devices[static_cast<std::size_t>(device)]) return;

  const ChipState& state = model_.State(device);
  const DeviceInfo& info = model_.Info(device);
  std::array<ChannelSound, kSoundChannels> sounds{};
  const int count = family->Sounds(state, info, sounds);
  auto& open = open_[static_cast<std::size_t>(device)];
  if (open.size() < static_cast<std::size_t>(count)) open.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const ChannelSound& s = sounds[static_cast<std::size_t>(i)];
    Open& o = open[static_cast<std::size_t>(i)];
    const bool keyed = s.keySlot >= 0 && ((step.effect.keyedOn >> s.keySlot) & 1u) != 0;
    if (o.sounding && (!s.sounding || keyed)) {
      Close(o.channel, tick);
      o.sounding = false;
    }
    const double hertz =
        s.pitchSlot >= 0 ? PitchHertz(state.ChannelPitch[static_cast<std::size_t>(s.pitchSlot)]) : 0.0;
    if (s.sounding && !o.sounding) {
      // A keyed channel without a frequency sounds nothing yet: its note starts with its pitch.
      if (s.pitchSlot >= 0 && hertz <= 0.0) continue;
      const double key = s.pitchSlot >= 0 ? KeyOfHertz(hertz) : DrumKeyOf(s.name);
      int program = -1;
      Voice voice;
      if (s.voiceChannel >= 0 && family->CaptureVoice != nullptr &&
          family->CaptureVoice(state, info, s.voiceChannel, voice)) {
        program = ProgramOf(voice);
      }
      o.channel = ChannelFor(device, s.name, s.pitchSlot < 0, soundIndex_[static_cast<std::size_t>(device)],
                             static_cast<std::size_t>(i));
      OpenNote(o.channel, tick, key, s.velocity, program);
      o.sounding = true;
      o.key = key;
    } else if (o.sounding && hertz > 0.0) {
      // Compared at every write: some pitches (the SSG envelope's) change without a pitch write.
      const double key = KeyOfHertz(hertz);
      if (std::abs(key - o.key) > 1e-6) {
        song_.channels[static_cast<std::size_t>(o.channel)].notes.back().bends.push_back({tick, key});
        o.key = key;
      }
    }
  }

  // Rhythm keys are triggers: each is a hit of its own.
  const std::uint32_t rhythm = step.effect.keyedOn >> kChannelSlots;
  if (rhythm == 0) return;
  const KeyLayout layout = family->Keys(info.type);
  const std::size_t names = layout.rhythm.size();
  for (std::size_t k = 0; k < names; ++k) {
    if (((rhythm >> k) & 1u) == 0) continue;
    const std::string_view name = layout.rhythm[layout.rhythmFromTop ? names - 1 - k : k];
    int& index = rhythmIndex_[static_cast<std::size_t>(device)];
    if (index < 0) {
      std::vector<int> slot;
      index = ChannelFor(device, "RHYTHM", true, slot, kRhythmOrder);
    }
    PlayedChannel& ch = song_.channels[static_cast<std::size_t>(index)];
    const int key = DrumKeyOf(name);
    // The same drum again cuts its earlier hit short.
    for (auto it = ch.notes.rbegin(); it != ch.notes.rend() && it->end > tick; ++it) {
      if (static_cast<int>(it->key) == key) it->end = tick;
    }
    ch.notes.push_back(PlayedNote{tick, tick + hitTicks_, static_cast<double>(key), 127, -1, {}});
  }
}

void PlayedNotes::OpenNote(int channel, std::uint64_t tick, double key, std::uint8_t velocity, int program) {
  song_.channels[static_cast<std::size_t>(channel)].notes.push_back(
      PlayedNote{tick, tick, key, velocity, program, {}});
}

void PlayedNotes::Close(int channel, std::uint64_t tick) {
  song_.channels[static_cast<std::size_t>(channel)].notes.back().end = tick;
}

void PlayedNotes::Finish(std::int32_t /*endBound*/) {
  for (auto& device : open_) {
    for (Open& o : device) {
      if (o.sounding) Close(o.channel, tick_);
      o.sounding = false;
    }
  }
  // By device, then as the chip numbers its channels; a channel without notes left is dropped.
  std::vector<std::size_t> byOrder(song_.channels.size());
  for (std::size_t i = 0; i < byOrder.size(); ++i) byOrder[i] = i;
  std::stable_sort(byOrder.begin(), byOrder.end(), [&](std::size_t a, std::size_t b) { return order_[a] < order_[b]; });
  std::vector<PlayedChannel> kept;
  for (std::size_t i : byOrder) {
    PlayedChannel& ch = song_.channels[i];
    // A key-on and key-off within one tick leave no note a sequencer can hold.
    std::erase_if(ch.notes, [&](PlayedNote& n) {
      return !started_ || n.end <= n.start || !ClipNote(n, song_.startTick, song_.endTick);
    });
    if (!ch.notes.empty()) kept.push_back(std::move(ch));
  }
  song_.channels = std::move(kept);
  if (song_.loopTick && (!started_ || *song_.loopTick < song_.startTick || *song_.loopTick > song_.endTick)) {
    song_.loopTick.reset();
  }
}

namespace {

std::size_t BendCount(const PlayedChannel& ch) {
  std::size_t bends = 0;
  for (const PlayedNote& n : ch.notes) bends += n.bends.size();
  return bends;
}

}  // namespace

void WritePlayedSummary(ReportSink& out, const PlayedSong& song, std::string_view lineEnd) {
  for (const PlayedChannel& ch : song.channels) {
    out.Print<"%s  notes %s  bends %s">(ch.name, std::to_string(ch.notes.size()), std::to_string(BendCount(ch)));
    out.Append(lineEnd);
  }
}

void PlayedNotes::WriteText(ReportSink& out) const {
  out.Print<"\r\n[ Played Notes ]\r\n">();
  WritePlayedSummary(out, song_, "\r\n");
}

void PlayedNotes::WriteJson(ReportSink& out) const {
  for (const PlayedChannel& ch : song_.channels) {
    JsonLine line(out);
    line.Field("type", "playedChannel").Field("device", ch.device).Field("name", ch.name).Field("drums", ch.drums);
    line.Field("notes", ch.notes.size()).Field("bends", BendCount(ch)).End();
  }
}

template <typename LogInfo>
PlayedSong CollectPlayedNotes(ByteReader& in, const LogInfo& info, const ConversionOptions& options,
                              const DumpWindow& window) {
  return WithWalker(in, info, [&](auto& walker, const StreamHead& head, const DeviceTable& devices) -> PlayedSong {
    // The notes need the register model and nothing the report writes; --device is applied by the
    // notes themselves so the walk sees every device.
    WalkPlan plan(SectionsOnly(options));
    plan.model = true;
    WalkContext ctx(head, devices, plan);
    auto played = std::make_unique<PlayedNotes>(head, window, *ctx.model);
    PlayedNotes& notes = *played;
    ctx.sections.push_back(std::move(played));
    ctx.wholeStream = false;
    SilentWriter writer;
    Walk(walker, ctx, window, writer);
    return notes.song();
  });
}
template PlayedSong CollectPlayedNotes(ByteReader&, const S98Info&, const ConversionOptions&, const DumpWindow&);
template PlayedSong CollectPlayedNotes(ByteReader&, const VgmInfo&, const ConversionOptions&, const DumpWindow&);

}  // namespace tavrin
