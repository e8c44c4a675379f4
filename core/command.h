// The command stream every log reader produces and every report consumes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin {

// How ticks turn into time: a tick lasts numerator / denominator seconds.
struct TickRate {
  std::int32_t numerator = 10;
  std::int32_t denominator = 1000;
  // Times print as real hours, minutes, seconds and milliseconds (VGM); otherwise, as S98 reports
  // have them, the fraction counts units of 1/denominator second.
  bool realTime = false;
};

// What the consumers of a stream know of its log besides the commands.
struct StreamHead {
  TickRate rate;
  std::int32_t dataOffset = 0;  // where the first command starts
  std::int32_t loopOffset = 0;  // where a player goes on after the end; 0: no loop
  bool tagBound = false;        // the stream stops at a tag block (else only the format's offset limit)
};

// The highest file offset a 32-bit signed offset field can name: longer files are read up to it.
inline constexpr std::int32_t kOffsetLimit = 0x7FFFFFFF;

enum class CommandKind : std::uint8_t {
  Write,  // a register write: device, port, register, value
  Wait,   // time passes: `ticks` ticks of the log's timer
  End,    // the log's end command
  Cut,    // the input ended inside the command; the stream ends with it
  Other,  // a command no annotator reads (a VGM data block, stream or chip Tavrin does not decode)
};

// One command as the log holds it. Offsets and running counts are the format's own 32-bit values and
// wrap around.
struct Command {
  std::int32_t offset = 0;   // file offset of the command's first byte
  std::uint8_t command = 0;  // its first byte
  CommandKind kind = CommandKind::End;
  int device = 0;
  int port = 0;
  std::uint8_t reg = 0;
  std::uint8_t value = 0;
  std::int32_t ticks = 0;      // of this wait
  std::int32_t tickCount = 0;  // ticks so far, this wait included
  std::int32_t elapsed = 0;    // time so far in units of 1/timerDenominator second
  // Operand bytes of variable length (an S98 wait count), as read, also when cut. At most
  // `countHeld` of them are held in `countBytes`; a longer run is read again through the reader.
  const std::uint8_t* countBytes = nullptr;
  std::uint64_t countLength = 0;
  std::size_t countHeld = 0;
  std::uint8_t writeLength = 3;  // bytes of a whole register write (a VGM log has writes of 1 and 2)
  bool hasDevice = false;  // a register command, whole or cut: device and port are set
  bool atLoop = false;     // the command starts at the loop offset
};

// Bytes of the command as far as the stream has shown them: a cut register write counts its first
// byte only (the bytes read after it are not kept).
inline std::uint64_t CommandLength(const Command& cmd) {
  if (cmd.kind == CommandKind::Write) return cmd.writeLength;
  return 1 + cmd.countLength;
}

// A command that writes a register line: whole or cut.
inline bool IsRegisterCommand(const Command& cmd) { return cmd.hasDevice; }

// Where commands come from: one reader per log format.
class CommandSource {
 public:
  virtual ~CommandSource() = default;

  // The next command, or false when the stream is over; `cmd` then still holds the last command.
  virtual bool Next(Command& cmd) = 0;

  // Copies up to `size` operand bytes of `cmd` (the last command Next gave), starting at operand byte
  // `from`; returns how many it copied. Bytes held in the command come from memory; the rest are
  // read again from the input, and the stream then goes on where it was.
  virtual std::size_t CountBytesAt(const Command& cmd, std::uint64_t from, std::uint8_t* dest, std::size_t size) = 0;

  // Where the stream had to stop at the latest (the file offset of the bound that ended it).
  virtual std::int32_t EndBound() const = 0;
};

// Calls emit(byte) for the operand bytes of `cmd` from operand byte `from` on, in file order.
template <typename Emit>
void ForEachCountByte(CommandSource& source, const Command& cmd, std::uint64_t from, Emit&& emit) {
  for (; from < cmd.countHeld; ++from) emit(cmd.countBytes[from]);
  std::uint8_t chunk[4096];
  while (from < cmd.countLength) {
    const std::size_t want =
        cmd.countLength - from < sizeof chunk ? static_cast<std::size_t>(cmd.countLength - from) : sizeof chunk;
    const std::size_t got = source.CountBytesAt(cmd, from, chunk, want);
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) emit(chunk[i]);
    from += got;
  }
}

}  // namespace tavrin
