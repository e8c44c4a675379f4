// Collecting the voices of a walk at each key-on, and the "[ Voices ]" section in text and JSON.
#include "report/voices.h"

#include <bit>  // std::countr_zero

#include "core/timestamp.h"
#include "formats/s98/dump_walker.h"
#include "formats/s98/s98_sections.h"
#include "model/register_model.h"
#include "report/log_walker.h"
#include "report/json_line.h"
#include "report/walk.h"

namespace tavrin {

namespace {

bool IsOpll(VoiceKind kind) { return kind == VoiceKind::OpllCustom || kind == VoiceKind::OpllPreset; }

std::string_view KindName(VoiceKind kind) {
  switch (kind) {
    case VoiceKind::Opn: return "opn";
    case VoiceKind::Opm: return "opm";
    case VoiceKind::Opl: return "opl";
    case VoiceKind::OplFourOp: return "opl-4op";
    case VoiceKind::OpllCustom: return "opll-custom";
    case VoiceKind::OpllPreset: return "opll-preset";
  }
  return "opn";
}

// The algorithm line's fields after "FAMILY @N".
void WriteChannelFields(ReportSink& out, const Voice& v) {
  switch (v.kind) {
    case VoiceKind::Opn:
    case VoiceKind::Opm:
      out.Print<"  ALG=%d FB=%d AMS=%d PMS=%d">(v.alg, v.fb, v.ams, v.pms);
      break;
    case VoiceKind::Opl:
      out.Print<"  CNT=%d FB=%d">(v.alg, v.fb);
      break;
    case VoiceKind::OplFourOp:
      out.Print<"  4-op ALG=%d FB=%d">(v.alg, v.fb);
      break;
    case VoiceKind::OpllCustom:
      out.Print<"  custom FB=%d">(v.fb);
      break;
    case VoiceKind::OpllPreset:
      out.Print<"  preset %d %s">(v.preset, OpllPresetName(v.preset));
      break;
  }
}

}  // namespace

void WriteVoiceTime(ReportSink& out, const TickRate& rate, std::uint64_t ticks) {
  // The times read like the dump's timestamps.
  FormatTickTime(out, ticks, rate);
}

VoiceSection::VoiceSection(const StreamHead& head, bool selective, const RegisterModel& model)
    : model_(model), lastVoice_(static_cast<std::size_t>(kDeviceIndexCount * kChannelSlots), -1) {
  bank_.rate = head.rate;
  bank_.selective = selective;
}

void VoiceSection::Observe(const WalkStep& step) {
  const std::uint32_t channelKeys = step.effect.keyedOn & ((1u << kChannelSlots) - 1u);
  if (!step.shown || channelKeys == 0 || step.cmd.kind != CommandKind::Write) return;
  const ChipFamily* family = model_.Family(step.cmd.device);
  if (family == nullptr || family->CaptureVoice == nullptr) return;
  for (std::uint32_t keys = channelKeys; keys != 0; keys &= keys - 1) {
    const int channel = std::countr_zero(keys);
    Voice voice;
    if (family->CaptureVoice(model_.State(step.cmd.device), model_.Info(step.cmd.device), channel, voice)) {
      Take(step.cmd.device, channel, voice, step.ticksBefore);
    }
  }
}

void VoiceSection::Take(int device, int channel, const Voice& voice, std::uint64_t tick) {
  const std::string_view family = model_.Family(device)->name;
  int& last = lastVoice_[static_cast<std::size_t>(device * kChannelSlots + channel)];
  int found = -1;
  const auto matches = [&](int i) {
    const VoiceEntry& e = bank_.voices[static_cast<std::size_t>(i)];
    return e.family == family && SameTimbre(e.voice, voice);
  };
  if (last >= 0 && matches(last)) {
    found = last;
  } else {
    for (int i = 0; i < static_cast<int>(bank_.voices.size()); ++i) {
      if (matches(i)) {
        found = i;
        break;
      }
    }
  }
  const int tl = LayoutOf(voice.kind).tlColumn;
  if (found < 0) {
    VoiceEntry entry;
    entry.family = family;
    for (const VoiceEntry& e : bank_.voices) entry.id += e.family == family ? 1 : 0;
    entry.voice = voice;
    for (std::size_t k = 0; k < 4; ++k) entry.tlMin[k] = entry.tlMax[k] = voice.op[k][static_cast<std::size_t>(tl)];
    bank_.voices.push_back(std::move(entry));
    found = static_cast<int>(bank_.voices.size()) - 1;
  }
  last = found;
  VoiceEntry& entry = bank_.voices[static_cast<std::size_t>(found)];
  for (std::size_t k = 0; k < 4; ++k) {
    if (((voice.carriers >> k) & 1u) == 0) continue;
    const std::uint8_t level = voice.op[k][static_cast<std::size_t>(tl)];
    if (level < entry.tlMin[k]) entry.tlMin[k] = level;
    if (level > entry.tlMax[k]) entry.tlMax[k] = level;
  }
  VoiceUse* use = nullptr;
  for (VoiceUse& u : entry.uses) {
    if (u.device == device) use = &u;
  }
  if (use == nullptr) {
    VoiceUse fresh;
    fresh.device = device;
    fresh.deviceName = DeviceName(model_.Info(device).type);
    fresh.firstTick = tick;
    entry.uses.push_back(fresh);
    use = &entry.uses.back();
  }
  use->channels |= 1u << channel;
  if (voice.specialMode) use->specialChannels |= 1u << channel;
  ++use->keyOns;
  use->lastTick = tick;
}

void VoiceSection::WriteText(ReportSink& out) const {
  out.Print<"\r\n[ Voices ]\r\n">();
  if (bank_.selective) {
    out.Print<"Counted        = the key-ons of the commands shown in the dump section\r\n">();
  } else {
    out.Print<"Counted        = every key-on\r\n">();
  }
  out.Print<"Voices         = %d\r\n">(static_cast<int>(bank_.voices.size()));
  for (const VoiceEntry& e : bank_.voices) {
    const Voice& v = e.voice;
    const VoiceLayout layout = LayoutOf(v.kind);
    out.Print<"\r\n%s @%d">(e.family, e.id);
    WriteChannelFields(out, v);
    out.Print<"\r\n">();
    if (v.operators > 0) {
      out.Print<"        ">();
      for (const std::string_view column : layout.columns) out.Print<" %3s">(column);
      out.Print<"\r\n">();
    }
    for (int k = 0; k < v.operators; ++k) {
      const bool carrier = (v.carriers >> k) & 1u;
      const std::string row = std::string(layout.rows[static_cast<std::size_t>(k)]) + (carrier ? "*" : "");
      out.Print<"    %-4s">(std::string_view(row));
      for (std::size_t c = 0; c < layout.columns.size(); ++c) {
        out.Print<" %3d">(v.op[static_cast<std::size_t>(k)][c]);
      }
      out.Print<"\r\n">();
    }
    // The carriers' level: kept from the first key-on, with the range seen (the OPLL's is its volume).
    out.Print<"    carrier %s">(IsOpll(v.kind) ? std::string_view("VOL") : std::string_view("TL"));
    for (int k = 0; k < 4; ++k) {
      if (((v.carriers >> k) & 1u) == 0) continue;
      const auto i = static_cast<std::size_t>(k);
      const std::string_view row = IsOpll(v.kind) ? std::string_view("CAR") : layout.rows[i];
      out.Print<"  %s %d">(row, v.op[i][static_cast<std::size_t>(layout.tlColumn)]);
      if (e.tlMin[i] != e.tlMax[i]) out.Print<" (%d-%d)">(e.tlMin[i], e.tlMax[i]);
    }
    out.Print<"\r\n">();
    for (const VoiceUse& u : e.uses) {
      out.Print<"    #%02d %-16s">(u.device, u.deviceName);
      for (std::uint32_t ch = u.channels; ch != 0; ch &= ch - 1) {
        const int c = std::countr_zero(ch);
        out.Print<" FM#%d">(c);
        if ((u.specialChannels >> c) & 1u) out.Print<"(special)">();
      }
      const std::string keyOns = std::to_string(u.keyOns);
      out.Print<"  key-ons %s  first ">(std::string_view(keyOns));
      WriteVoiceTime(out, bank_.rate, u.firstTick);
      out.Print<"  last ">();
      WriteVoiceTime(out, bank_.rate, u.lastTick);
      out.Print<"\r\n">();
    }
  }
}

void VoiceSection::WriteJson(ReportSink& out) const {
  const auto seconds = [this](std::uint64_t ticks) {
    return static_cast<double>(ticks) * bank_.rate.numerator / bank_.rate.denominator;
  };
  for (const VoiceEntry& e : bank_.voices) {
    const Voice& v = e.voice;
    const VoiceLayout layout = LayoutOf(v.kind);
    JsonLine line(out);
    line.Field("type", "voice").Field("id", e.id).Field("family", e.family).Field("kind", KindName(v.kind));
    if (v.kind == VoiceKind::OpllPreset) {
      line.Field("preset", v.preset).Field("presetName", OpllPresetName(v.preset));
    } else {
      line.Field("alg", v.alg).Field("fb", v.fb);
    }
    if (v.kind == VoiceKind::Opn || v.kind == VoiceKind::Opm) line.Field("ams", v.ams).Field("pms", v.pms);
    line.BeginArray("operators");
    for (int k = 0; k < v.operators; ++k) {
      line.BeginObject().Field("name", layout.rows[static_cast<std::size_t>(k)]);
      for (std::size_t c = 0; c < layout.columns.size(); ++c) {
        line.Field(layout.columns[c], v.op[static_cast<std::size_t>(k)][c]);
      }
      line.EndObject();
    }
    line.EndArray().BeginArray("carriers");
    for (int k = 0; k < 4; ++k) {
      if (((v.carriers >> k) & 1u) == 0) continue;
      const auto i = static_cast<std::size_t>(k);
      line.BeginObject().Field("operator", k + 1).Field("level", v.op[i][static_cast<std::size_t>(layout.tlColumn)]);
      line.Field("min", e.tlMin[i]).Field("max", e.tlMax[i]).EndObject();
    }
    line.EndArray().BeginArray("uses");
    for (const VoiceUse& u : e.uses) {
      line.BeginObject().Field("device", u.device).Field("name", u.deviceName).BeginArray("channels");
      for (std::uint32_t ch = u.channels; ch != 0; ch &= ch - 1) line.Value(std::countr_zero(ch));
      line.EndArray().BeginArray("specialMode");
      for (std::uint32_t ch = u.specialChannels; ch != 0; ch &= ch - 1) line.Value(std::countr_zero(ch));
      line.EndArray().Field("keyOns", u.keyOns);
      line.Field("firstTick", u.firstTick).Field("firstSeconds", seconds(u.firstTick));
      line.Field("lastTick", u.lastTick).Field("lastSeconds", seconds(u.lastTick)).EndObject();
    }
    line.EndArray().End();
  }
}

template <typename LogInfo>
VoiceBank CollectVoices(ByteReader& in, const LogInfo& info, const ConversionOptions& options,
                        const DumpWindow& window) {
  return WithWalker(in, info, [&](auto& walker, const StreamHead& head, const DeviceTable& devices) -> VoiceBank {
    ConversionOptions only = SectionsOnly(options);
    only.voicesOnly = true;
    const WalkPlan plan(only);
    WalkContext ctx(head, devices, plan);
    SilentWriter writer;
    Walk(walker, ctx, window, writer);
    for (const auto& section : ctx.sections) {
      if (const auto* voices = dynamic_cast<const VoiceSection*>(section.get())) return voices->bank();
    }
    return {};
  });
}
template VoiceBank CollectVoices(ByteReader&, const S98Info&, const ConversionOptions&, const DumpWindow&);
template VoiceBank CollectVoices(ByteReader&, const VgmInfo&, const ConversionOptions&, const DumpWindow&);

}  // namespace tavrin
