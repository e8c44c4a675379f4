// The VGM walk: each command's length from its first byte, so no command, known or not, loses the place.
#include "formats/vgm/vgm_walker.h"

namespace tavrin {

namespace {

// Register byte of a Game Gear stereo write in the command stream (the DCSG annotator's own).
constexpr std::uint8_t kGameGearStereoRegister = 1;
// The YM2612's DAC sample register, which a 0x8n writes.
constexpr std::uint8_t kDacRegister = 0x2A;

}  // namespace

VgmWalker::VgmWalker(ByteReader& in, const VgmInfo& info)
    : in_(in), loopOffset_(info.header.loopOffset), position_(info.header.dataOffset) {
  // The sound data end at the tag or the end of file when those lie after them.
  endBound_ = VgmStreamBound(info.header, boundIsTag_);
  const auto at = [](std::string_view name) { return static_cast<std::int16_t>(VgmKindIndex(name)); };
  const auto set = [this](unsigned command, std::int16_t kind, std::uint8_t port, bool second) {
    targets_[command] = WriteTarget{kind, port, second, false, false, 0};
  };
  set(0x50, at("SN76489"), 0, false);
  set(0x30, at("SN76489"), 0, true);
  set(0x4F, at("SN76489"), 0, false);
  set(0x3F, at("SN76489"), 0, true);
  for (unsigned c : {0x50u, 0x30u, 0x4Fu, 0x3Fu}) targets_[c].single = true;
  targets_[0x4F].reg = kGameGearStereoRegister;
  targets_[0x3F].reg = kGameGearStereoRegister;
  // 5n aa dd and their second chips An aa dd.
  const std::pair<unsigned, std::string_view> fm[] = {
      {0x51, "YM2413"}, {0x52, "YM2612"}, {0x53, "YM2612"}, {0x54, "YM2151"}, {0x55, "YM2203"},
      {0x56, "YM2608"}, {0x57, "YM2608"}, {0x58, "YM2610"}, {0x59, "YM2610"}, {0x5A, "YM3812"},
      {0x5B, "YM3526"}, {0x5C, "Y8950"},  {0x5D, "YMZ280B"}, {0x5E, "YMF262"}, {0x5F, "YMF262"}};
  for (const auto& [command, name] : fm) {
    const auto port = static_cast<std::uint8_t>(command == 0x53 || command == 0x57 || command == 0x59 || command == 0x5F);
    set(command, at(name), port, false);
    set(command + 0x50, at(name), port, true);
  }
  // Bn aa dd, A0 aa dd: bit 7 of aa picks the second chip.
  const std::string_view bn[] = {"RF5C68",  "RF5C164", "PWM",     "GameBoy", "NES APU",  "MultiPCM",
                                 "uPD7759", "OKIM6258", "OKIM6295", "HuC6280", "K053260", "Pokey",
                                 "WonderSwan", "SAA1099", "ES5506", "GA20"};
  for (unsigned i = 0; i < 16; ++i) set(0xB0 + i, at(bn[i]), 0, false);
  set(0xA0, at("AY8910"), 0, false);
  // PWM and the RF5C chips take no second-chip bit in the register byte; every Bn is read alike here.
  for (unsigned c = 0xB0; c <= 0xBF; ++c) targets_[c].secondInRegister = true;
  targets_[0xA0].secondInRegister = true;
  // Cn, Dn, E1: three and four operands, for chips Tavrin does not decode.
  const std::string_view cn[] = {"SegaPCM", "RF5C68", "RF5C164", "MultiPCM", "QSound", "SCSP", "WonderSwan", "VSU", "X1-010"};
  for (unsigned i = 0; i < 9; ++i) set(0xC0 + i, at(cn[i]), 0, false);
  const std::string_view dn[] = {"YMF278B", "YMF271", "K051649", "K054539", "C140", "ES5503", "ES5506"};
  for (unsigned i = 0; i < 7; ++i) set(0xD0 + i, at(dn[i]), 0, false);
  set(0xE1, at("C352"), 0, false);
  // Each write's devices once, not per command.
  for (WriteTarget& target : targets_) {
    if (target.kind < 0) continue;
    const auto kind = static_cast<std::size_t>(target.kind);
    target.decoded = VgmChipKinds()[kind].type != DeviceType::None;
    for (int second = 0; second < 2; ++second) {
      target.device[static_cast<std::size_t>(second)] = static_cast<std::int16_t>(VgmDeviceOf(info, kind, second != 0));
    }
  }
  for (WriteTarget& target : targets_) {
    const int device = target.device[target.second ? 1 : 0];
    if (target.decoded && !target.secondInRegister && device >= 0 && device < kDeviceIndexCount) {
      target.route = target.single ? Route::Write1 : Route::Write2;
      target.routeDevice = static_cast<std::int16_t>(device);
    }
  }
  lengths_ = VgmCommandLengths(info.header.version);
  // The plain waits, read whole in Next: 0x61 nn nn, and 0x62, 0x63, 0x7n alone.
  targets_[0x61].route = Route::Wait3;
  targets_[0x62].route = Route::Wait1;
  targets_[0x63].route = Route::Wait1;
  for (unsigned c = 0x70; c <= 0x7F; ++c) targets_[c].route = Route::Wait1;
  const int ym2612 = VgmDeviceOf(info, VgmKindIndex("YM2612"), false);
  if (ym2612 >= 0 && ym2612 < kDeviceIndexCount) dacDevice_ = ym2612;

  if (info.header.dataOffset >= 0x80000000u) {
    Stop();
  } else {
    limit_ = endBound_;
    in_.Seek(position_);
  }
}

// Every command but the common write, and a write the file ends inside (its bytes are read).
bool VgmWalker::NextOther(Command& cmd, bool bytesRead) {
  const std::uint8_t h = raw_[0];
  cmd = Command{};
  cmd.offset = static_cast<std::int32_t>(position_);
  cmd.command = static_cast<std::uint8_t>(h);
  cmd.atLoop = position_ == loopOffset_;
  const std::uint8_t length = lengths_[cmd.command];
  if (!bytesRead) {
    // Byte by byte: operands are one to eleven bytes, fewer than a block copy pays for.
    std::size_t got = 1;
    for (; got < length; ++got) {
      const int b = in_.Next();
      if (b < 0) break;
      raw_[got] = static_cast<std::uint8_t>(b);
    }
    rawLength_ = got;
  }
  if (length == 0) {
    // No length: nothing after this byte can be placed.
    cmd.kind = CommandKind::Other;
    info_.other = VgmOther::Unknown;
    Stop();
  } else {
    cmd.countBytes = raw_.data() + 1;
    cmd.countLength = rawLength_ - 1;
    cmd.countHeld = rawLength_ - 1;
    if (rawLength_ < length) {
      cmd.kind = CommandKind::Cut;
      Stop();
    } else {
      Classify(cmd);
    }
  }
  std::uint64_t advance = rawLength_;
  if (cmd.kind == CommandKind::Other && info_.other == VgmOther::DataBlock) SkipDataBlock(cmd, advance);
  // A wait counts itself.
  cmd.tickCount = static_cast<std::int32_t>(samples_);
  cmd.elapsed = cmd.tickCount;
  position_ = static_cast<std::uint32_t>(position_ + advance);
  return true;
}

bool VgmWalker::NextAtLimit(Command& cmd) {
  if (dacWaitPending_) return DacWait(cmd);
  return false;
}

// The wait half of a 0x8n whose byte went out as the write before it: same offset, same byte.
bool VgmWalker::DacWait(Command& cmd) {
  dacWaitPending_ = false;
  limit_ = running_ ? endBound_ : 0;
  cmd = Command{};
  cmd.offset = static_cast<std::int32_t>(position_ - 1);
  cmd.command = raw_[0];
  cmd.kind = CommandKind::Wait;
  cmd.ticks = static_cast<std::int32_t>(dacWaitSamples_);
  samples_ += dacWaitSamples_;
  cmd.tickCount = static_cast<std::int32_t>(samples_);
  cmd.elapsed = cmd.tickCount;
  cmd.countBytes = raw_.data() + 1;
  return true;
}

// The data of a block are not shown; those of type 0x00 (YM2612 PCM) join the data bank. A block that
// runs past the end is cut. Read past rather than seek: a size beyond the end must show as a cut, and
// a compressed input has to inflate the bytes anyway.
void VgmWalker::SkipDataBlock(Command& cmd, std::uint64_t& advance) {
  const std::uint32_t size = ReadLE32(raw_.data() + 3) & 0x7FFFFFFFu;
  const bool banked = raw_[2] == 0x00;
  if (banked && !bank_) bank_ = std::make_unique<VgmDataBank>();
  std::uint8_t scratch[4096];
  std::uint32_t skipped = 0;
  while (skipped < size) {
    const std::size_t want = size - skipped < sizeof scratch ? size - skipped : sizeof scratch;
    const std::size_t got = in_.Read(scratch, want);
    if (banked) bank_->Append(scratch, got);
    skipped += static_cast<std::uint32_t>(got);
    if (got < want) break;
  }
  if (skipped < size) {
    cmd.kind = CommandKind::Cut;
    Stop();
  }
  advance += skipped;
}

// A 0x8n: the bank's byte at the pointer goes to the YM2612 as a write of $2A, and the wait follows as
// the next command; the pointer moves on whether or not there was a byte.
void VgmWalker::Dac(Command& cmd) {
  info_.dacWait = true;
  info_.dacOffset = dacPointer_;
  const std::uint32_t samples = cmd.command & 0x0Fu;
  const int byte = dacDevice_ < 0 ? kNoDacChip : bank_ ? bank_->At(dacPointer_) : VgmDataBank::kPastEnd;
  ++dacPointer_;
  info_.dacByte = byte;
  if (byte < 0) {
    cmd.kind = CommandKind::Wait;
    cmd.ticks = static_cast<std::int32_t>(samples);
    samples_ += samples;
    return;
  }
  cmd.kind = CommandKind::Write;
  cmd.hasDevice = true;
  cmd.device = dacDevice_;
  cmd.port = 0;
  cmd.reg = kDacRegister;
  cmd.value = static_cast<std::uint8_t>(byte);
  cmd.writeLength = 1;
  cmd.countLength = 0;
  cmd.countHeld = 0;
  dacWaitPending_ = true;
  limit_ = 0;
  dacWaitSamples_ = samples;
}

void VgmWalker::Classify(Command& cmd) {
  const std::uint8_t c = cmd.command;
  // Writes first: they are most of any log.
  const WriteTarget& target = targets_[c];
  if (target.kind >= 0) {
    cmd.kind = CommandKind::Other;
    const bool second = target.second || (target.secondInRegister && (raw_[1] & 0x80) != 0);
    const auto kind = static_cast<std::size_t>(target.kind);
    const int device = target.device[second ? 1 : 0];
    if (device < 0 || device >= kDeviceIndexCount || !target.decoded) {
      info_.other = VgmOther::ChipWrite;
      info_.chipKind = kind;
      info_.second = second;
      info_.device = device;
      if (device < 0 || device >= kDeviceIndexCount) return;
      // A listed chip Tavrin does not decode: the line belongs to its device (--device), no annotator reads it.
      cmd.hasDevice = true;
      cmd.device = device;
      cmd.port = target.port;
      return;
    }
    cmd.kind = CommandKind::Write;
    cmd.hasDevice = true;
    cmd.device = device;
    cmd.port = target.port;
    cmd.reg = target.single ? target.reg : static_cast<std::uint8_t>(target.secondInRegister ? raw_[1] & 0x7F : raw_[1]);
    cmd.value = target.single ? raw_[1] : raw_[2];
    cmd.writeLength = static_cast<std::uint8_t>(rawLength_);
    // A write holds no count bytes: its bytes are register and value.
    cmd.countBytes = nullptr;
    cmd.countLength = 0;
    cmd.countHeld = 0;
    return;
  }
  // The plain waits never come here: Next reads them whole (NextWait).
  if (c == 0x66) {
    cmd.kind = CommandKind::End;
    Stop();
    return;
  }
  if ((c & 0xF0) == 0x80) return Dac(cmd);
  cmd.kind = CommandKind::Other;
  if (c == 0x67) {
    info_.other = VgmOther::DataBlock;
  } else if (c == 0x68) {
    info_.other = VgmOther::PcmRamWrite;
  } else if (c >= 0x90 && c <= 0x95) {
    info_.other = VgmOther::DacStream;
  } else if (c == 0xE0) {
    info_.other = VgmOther::Seek;
    dacPointer_ = ReadLE32(raw_.data() + 1);
  } else if (c == 0x64) {
    info_.other = VgmOther::WaitOverride;
    const std::uint32_t samples = static_cast<std::uint32_t>(raw_[2] | raw_[3] << 8);
    if (raw_[1] == 0x62) wait62_ = samples;
    if (raw_[1] == 0x63) wait63_ = samples;
  } else {
    info_.other = VgmOther::Reserved;
  }
}

std::size_t VgmWalker::CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest, std::size_t size) {
  std::size_t copied = 0;
  for (; copied < size && from + copied < cmd.countHeld; ++copied) dest[copied] = cmd.countBytes[from + copied];
  return copied;
}

}  // namespace tavrin
