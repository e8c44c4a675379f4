// --voices: the FM voices a log keys, merged where only the carriers' volume differs, and where each is used.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chips/voice.h"
#include "core/byte_reader.h"
#include "core/command.h"
#include "core/device.h"
#include "formats/s98/s98.h"
#include "report/section.h"
#include "report/selection.h"

namespace tavrin {

// One device's use of a voice.
struct VoiceUse {
  int device = 0;
  std::string_view deviceName;
  std::uint32_t channels = 0;         // bit k: channel k keyed it
  std::uint32_t specialChannels = 0;  // bit k: channel k keyed it in FM#2 special mode
  std::uint64_t keyOns = 0;
  std::uint64_t firstTick = 0;  // ticks of the waits before the first and the last key-on
  std::uint64_t lastTick = 0;
};

// One distinct voice: as it sounded at its first key-on, with the range of carrier TL seen since.
struct VoiceEntry {
  std::string_view family;  // "OPN", "OPM", "OPL", "OPLL"
  int id = 0;               // @0, @1, ... in order of first use within the family
  Voice voice;
  std::array<std::uint8_t, 4> tlMin{};
  std::array<std::uint8_t, 4> tlMax{};
  std::vector<VoiceUse> uses;  // by device, in order of first use
};

struct VoiceBank {
  TickRate rate;
  bool selective = false;  // only the key-ons of shown commands were taken
  std::vector<VoiceEntry> voices;  // in order of first use, all families
};

// Takes a voice at every key-on of an FM channel whose family captures voices. Key-ons are taken from
// the commands whose lines are shown (all of them without --from, --to or --device).
class VoiceSection final : public ReportSection {
 public:
  VoiceSection(const StreamHead& head, bool selective, const RegisterModel& model);

  void Observe(const WalkStep& step) override;
  void Finish(std::int32_t /*endBound*/) override {}
  bool NeedsWholeStream() const override { return false; }

  // "\r\n[ Voices ]\r\n", then one block per voice.
  void WriteText(ReportSink& out) const override;
  // One "voice" object per voice.
  void WriteJson(ReportSink& out) const override;

  const VoiceBank& bank() const { return bank_; }

 private:
  void Take(int device, int channel, const Voice& voice, std::uint64_t tick);

  const RegisterModel& model_;
  VoiceBank bank_;
  // The voice each channel keyed last: a channel mostly keys the same voice again.
  std::vector<int> lastVoice_;  // [device][channel], -1 none
};

// The voices of one log as --voices takes them under `options` (whose window is `window`), from a walk
// that writes nothing. `in` has read the head (of an S98 log: its device records).
// `info` is the S98Info or the VgmInfo of the log.
template <typename LogInfo>
VoiceBank CollectVoices(ByteReader& in, const LogInfo& info, const ConversionOptions& options,
                        const DumpWindow& window);

// The report's times for a tick count: "%02d:%02d:%02d.%03d".
void WriteVoiceTime(ReportSink& out, const TickRate& rate, std::uint64_t ticks);

}  // namespace tavrin
