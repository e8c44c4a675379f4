// The Standard MIDI File of the notes as played: one track per chip channel, each log tick on a MIDI tick.
#include "report/midi.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace tavrin {

namespace {

constexpr std::uint32_t kPreferredTempo = 500000;  // 120 quarter notes a minute
constexpr std::uint32_t kMaxTempo = 0xFFFFFF;
constexpr std::uint64_t kMaxDivision = 32767;
constexpr std::uint64_t kMinDivision = 96;  // below this sequencers show the grid coarsely
constexpr std::uint8_t kDrumChannel = 9;

void Put16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>((v >> 8) & 0xFFu));
  out.push_back(static_cast<char>(v & 0xFFu));
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFFu);
}
// A variable-length quantity: seven bits a byte, most significant first.
void PutVarLen(std::string& out, std::uint64_t v) {
  v = std::min<std::uint64_t>(v, 0x0FFFFFFF);
  char bytes[4];
  int n = 0;
  do {
    bytes[n++] = static_cast<char>(v & 0x7Fu);
    v >>= 7;
  } while (v != 0);
  while (n > 1) out.push_back(static_cast<char>(bytes[--n] | 0x80));
  out.push_back(bytes[0]);
}

std::string Meta(std::uint8_t type, std::string_view data) {
  std::string e{static_cast<char>(0xFF), static_cast<char>(type)};
  PutVarLen(e, data.size());
  e.append(data);
  return e;
}

std::string Channel(std::uint8_t status, std::uint8_t channel, int a, int b = -1) {
  std::string e{static_cast<char>(status | channel), static_cast<char>(a & 0x7F)};
  if (b >= 0) e.push_back(static_cast<char>(b & 0x7F));
  return e;
}

// Events at one MIDI tick go out in rank order: note-offs, then controls and bends, then note-ons.
struct Event {
  std::uint64_t tick;
  int rank;
  std::string bytes;
};

std::string TrackChunk(std::vector<Event> events, std::uint64_t endTick) {
  std::stable_sort(events.begin(), events.end(),
                   [](const Event& a, const Event& b) { return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank; });
  std::string body;
  std::uint64_t now = 0;
  for (const Event& e : events) {
    PutVarLen(body, e.tick - now);
    now = e.tick;
    body += e.bytes;
  }
  PutVarLen(body, std::max(endTick, now) - now);
  body += Meta(0x2F, {});
  std::string chunk = "MTrk";
  Put32(chunk, static_cast<std::uint32_t>(body.size()));
  return chunk + body;
}

int BendValue(double semitones) {
  const double v = std::floor(8192.0 + semitones / kMidiBendRange * 8192.0 + 0.5);
  return static_cast<int>(std::clamp(v, 0.0, 16383.0));
}

}  // namespace

MidiTiming MidiTimingFor(const TickRate& rate) {
  MidiTiming best;
  const bool usable = rate.numerator > 0 && rate.denominator > 0;
  const std::uint64_t num = usable ? static_cast<std::uint64_t>(rate.numerator) : 10;
  const std::uint64_t den = usable ? static_cast<std::uint64_t>(rate.denominator) : 1000;
  const std::uint64_t g = std::gcd(num, den);
  // One log tick is num/den seconds = perLogTick x tempo / (1e6 x division): tempo x perLogTick must
  // be 1e6 x division x num / den, an integer.
  double bestScore = 1e300;
  bool found = false;
  for (std::uint64_t d = 1; d <= kMaxDivision; ++d) {
    const std::uint64_t micro = 1000000 * d;
    if (micro % (den / g) != 0) continue;
    const std::uint64_t whole = micro / (den / g);
    if (whole > std::numeric_limits<std::uint64_t>::max() / (num / g)) continue;
    const std::uint64_t product = whole * (num / g);
    const std::uint64_t near = std::max<std::uint64_t>(1, (product + kPreferredTempo / 2) / kPreferredTempo);
    for (std::uint64_t k = near > 8 ? near - 8 : 1; k <= near + 8; ++k) {
      if (product % k != 0 || product / k > kMaxTempo || product / k == 0) continue;
      const auto tempo = static_cast<std::uint32_t>(product / k);
      const double score = std::abs(std::log(static_cast<double>(tempo) / kPreferredTempo)) +
                           (d < kMinDivision ? 1.0 : 0.0) + 1e-9 * static_cast<double>(k);
      if (score < bestScore) {
        bestScore = score;
        best = MidiTiming{static_cast<std::uint16_t>(d), tempo, k, true, static_cast<double>(k)};
        found = true;
      }
    }
  }
  if (!found) {
    best = MidiTiming{480, kPreferredTempo, 1, false,
                      1e6 * 480.0 * static_cast<double>(num) / (static_cast<double>(den) * kPreferredTempo)};
  }
  return best;
}

std::string MidiFileBytes(const PlayedSong& song) {
  const MidiTiming timing = MidiTimingFor(song.rate);
  const auto at = [&](std::uint64_t logTick) -> std::uint64_t {
    const std::uint64_t t = logTick - std::min(logTick, song.startTick);
    return timing.exact ? t * timing.perLogTick : static_cast<std::uint64_t>(std::llround(static_cast<double>(t) * timing.ratio));
  };
  const std::uint64_t end = at(song.endTick);

  std::string file = "MThd";
  Put32(file, 6);
  Put16(file, 1);
  Put16(file, static_cast<unsigned>(song.channels.size() + 1));
  Put16(file, timing.division);

  std::vector<Event> conductor;
  if (!song.title.empty()) conductor.push_back({0, 0, Meta(0x03, song.title)});
  std::string tempo;
  tempo.push_back(static_cast<char>((timing.tempo >> 16) & 0xFF));
  tempo.push_back(static_cast<char>((timing.tempo >> 8) & 0xFF));
  tempo.push_back(static_cast<char>(timing.tempo & 0xFF));
  conductor.push_back({0, 1, Meta(0x51, tempo)});
  if (song.loopTick) conductor.push_back({at(*song.loopTick), 2, Meta(0x06, "loop")});
  file += TrackChunk(std::move(conductor), end);

  int melodic = 0;
  for (const PlayedChannel& ch : song.channels) {
    std::vector<Event> events;
    events.push_back({0, 0, Meta(0x03, ch.name)});
    std::uint8_t channel = kDrumChannel;
    int port = 0;
    if (!ch.drums) {
      port = melodic / kMelodicChannelsPerPort;
      const int within = melodic % kMelodicChannelsPerPort;
      channel = static_cast<std::uint8_t>(within < kDrumChannel ? within : within + 1);
      ++melodic;
    }
    events.push_back({0, 0, Meta(0x21, std::string(1, static_cast<char>(port)))});
    int program = -2;
    int bend = 8192;
    if (!ch.drums) {
      // RPN 0 (pitch bend sensitivity), then the null RPN so later data entry changes nothing.
      for (const auto& [cc, v] : {std::pair{101, 0}, {100, 0}, {6, kMidiBendRange}, {38, 0}, {101, 127}, {100, 127}}) {
        events.push_back({0, 1, Channel(0xB0, channel, cc, v)});
      }
    }
    const auto bendTo = [&](std::uint64_t tick, double semitones) {
      const int v = BendValue(semitones);
      if (v == bend) return;
      bend = v;
      events.push_back({tick, 1, Channel(0xE0, channel, v & 0x7F, v >> 7)});
    };
    for (const PlayedNote& n : ch.notes) {
      const std::uint64_t start = at(n.start);
      const std::uint64_t stop = std::max(at(n.end), start + 1);
      const int key = std::clamp(static_cast<int>(std::lround(n.key)), 0, 127);
      if (!ch.drums) {
        const int wanted = n.program >= 0 ? n.program % 128 : kSquareProgram;
        if (wanted != program) {
          program = wanted;
          events.push_back({start, 1, Channel(0xC0, channel, program)});
        }
        bendTo(start, n.key - key);
        for (const PlayedBend& b : n.bends) bendTo(at(b.tick), b.key - key);
      }
      events.push_back({start, 2, Channel(0x90, channel, key, std::max<int>(1, n.velocity))});
      events.push_back({stop, 0, Channel(0x80, channel, key, 64)});
    }
    file += TrackChunk(std::move(events), end);
  }
  return file;
}

}  // namespace tavrin
