// SSG branch of the OPN-family decoder: the square-wave generator of the PSGs, the OPN and the OPNA.
//
// SSG register map (port 0; channel c is 0..2):
//
//     00,02,04 xxxxxxxx Tone period of channel c, bits 7..0
//     01,03,05 ----xxxx Tone period of channel c, bits 11..8 (the whole byte is printed)
//           06 ---xxxxx Noise period
//           07 x------- I/O port B direction (not shown)
//              -x------ I/O port A direction (not shown)
//              --xxx--- Noise off, channels 2..0 (a set bit silences)
//              -----xxx Tone off, channels 2..0 (a set bit silences)
//     08,09,0A ---x---- Channel c follows the envelope
//              ----xxxx Channel c volume
//           0B xxxxxxxx Envelope period, bits 7..0
//           0C xxxxxxxx Envelope period, bits 15..8
//           0D ----xxxx Envelope shape (the whole byte is printed)
//           0E xxxxxxxx I/O port A
//           0F xxxxxxxx I/O port B
#include "chips/opn/opn_internal.h"

namespace tavrin::opn {
namespace {

constexpr unsigned ToneChannel(unsigned reg) { return Bitfield(reg, 1, 2); }
constexpr unsigned CoarseTune(unsigned v) { return Bitfield(v, 0, 4); }
constexpr unsigned NoisePeriod(unsigned v) { return Bitfield(v, 0, 5); }
constexpr unsigned Volume(unsigned v) { return Bitfield(v, 0, 4); }
constexpr bool EnvelopeMode(unsigned v) { return Bit(v, 4); }
constexpr bool ToneOff(unsigned v, unsigned channel) { return Bit(v, channel); }
constexpr bool NoiseOff(unsigned v, unsigned channel) { return Bit(v, channel + 3); }

// $07 bits are "off" switches: a channel that sounds shows its digit, a silenced one a dash.
void DecodeMixer(ReportSink& out, unsigned v) {
  out.Print<"SSG Mixer/IO  TONE:">();
  for (unsigned c = 0; c < 3; ++c) {
    if (!ToneOff(v, c)) {
      out.Print<" %c">('0' + c);
    } else {
      out.Print<" -">();
    }
  }
  out.Print<"  NOISE:">();
  for (unsigned c = 0; c < 3; ++c) {
    if (!NoiseOff(v, c)) {
      out.Print<" %c">('0' + c);
    } else {
      out.Print<" -">();
    }
  }
}

}  // namespace

void DecodeSsg(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned v) {
  switch (reg) {
    case 0x00:
    case 0x02:
    case 0x04: {
      const unsigned c = ToneChannel(reg);
      state.SsgTonePeriod[c] = WithLowByte(state.SsgTonePeriod[c], v);
      out.Print<"SSG#%d   Fine Tune=$%02x($%03x)">(c, v, state.SsgTonePeriod[c]);
      break;
    }
    case 0x01:
    case 0x03:
    case 0x05: {
      const unsigned c = ToneChannel(reg);
      state.SsgTonePeriod[c] = WithHighBits(state.SsgTonePeriod[c], CoarseTune(v));
      out.Print<"SSG#%d Coarse Tune=$%02x($%03x)">(c, v, state.SsgTonePeriod[c]);
      break;
    }
    case 0x06:
      out.Print<"SSG Noise Period=%2d">(NoisePeriod(v));
      break;
    case 0x07:
      DecodeMixer(out, v);
      break;
    case 0x08:
    case 0x09:
    case 0x0A:
      out.Print<"SSG#%d VOL=%2d">(reg - 8, Volume(v));
      if (EnvelopeMode(v)) out.Print<"[HW Env ON]">();
      break;
    case 0x0B:
      state.SsgEnvelopePeriod = WithLowByte(state.SsgEnvelopePeriod, v);
      out.Print<"SSG Env   Fine Tune=$%02x($%04x)">(v, state.SsgEnvelopePeriod);
      break;
    case 0x0C:
      state.SsgEnvelopePeriod = WithHighBits(state.SsgEnvelopePeriod, v);
      out.Print<"SSG Env Coarse Tune=$%02x($%04x)">(v, state.SsgEnvelopePeriod);
      break;
    case 0x0D:
      out.Print<"SSG Envelope Shape=%2d">(v);
      break;
    case 0x0E:
      out.Print<"SSG I/O Port A=$%02x">(v);
      break;
    case 0x0F:
      out.Print<"SSG I/O Port B=$%02x">(v);
      break;
    default:
      break;
  }
}

}  // namespace tavrin::opn
