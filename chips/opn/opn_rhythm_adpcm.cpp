// Rhythm and ADPCM branches of the OPN-family decoder: the OPNA's six drums and its ADPCM unit.
//
// Rhythm register map (port 0):
//
//           10 x------- Dump: key the marked instruments off (clear: key them on)
//              --xxxxxx Instruments: bit 0 bass drum, 1 snare, 2 cymbal, 3 hi-hat, 4 tom, 5 rim shot
//           11 --xxxxxx Rhythm total level (the whole byte is printed)
//           12 xxxxxxxx Test
//        18-1D x------- Left output of instrument 0..5 (same order as $10)
//              -x------ Right output
//              --xxxxxx Instrument level (the report reads six bits; the chip uses five)
//
// ADPCM register map (port 1):
//
//           00 x------- Start
//              -x------ Record
//              --x----- External memory
//              ---x---- Repeat
//              ----x--- Speaker off
//              -------x Reset
//           01 x------- Output select, shown as R
//              -x------ Output select, shown as L (the reverse of the FM and rhythm pan bits)
//              ----x--- Sample
//              -----x-- DA/AD
//              ------x- RAM type: x8 when set, x1 when clear
//              -------x ROM when set, RAM when clear
//        02-03 xxxxxxxx Start address, low then high byte
//        04-05 xxxxxxxx Stop address, low then high byte
//           06 xxxxxxxx Prescale, bits 7..0
//           07 ----xxxx Prescale, bits 11..8
//           08 xxxxxxxx Data
//        09-0A xxxxxxxx Delta-N, low then high byte
//           0B xxxxxxxx Envelope (volume) control
//        0C-0D xxxxxxxx Limit address, low then high byte
//           0E xxxxxxxx DAC data
//           0F xxxxxxxx PCM data
//           10 x------- IRQ flag reset
//              ---x---- Mask ZERO
//              ----x--- Mask BRDY
//              -----x-- Mask EOS
//              ------x- Mask timer B
//              -------x Mask timer A
#include "chips/opn/opn_internal.h"

namespace tavrin::opn {
namespace {

// Letter k names the instrument keyed by bit k of $10 and leveled by register $18 + k.
constexpr char OpnaRhythmLetters[] = "BSCHTR";
constexpr unsigned kRhythmInstrumentCount = sizeof(OpnaRhythmLetters) - 1;

constexpr bool RhythmDump(unsigned v) { return Bit(v, 7); }
constexpr unsigned RhythmLevel(unsigned v) { return Bitfield(v, 0, 6); }
constexpr unsigned PrescaleHigh(unsigned v) { return Bitfield(v, 0, 4); }

void DecodeRhythmKey(ReportSink& out, unsigned v) {
  out.Print<"RHY Key-">();
  if (RhythmDump(v)) {
    out.Print<"OFF :">();
  } else {
    out.Print<"ON :">();
  }
  for (unsigned k = 0; k < kRhythmInstrumentCount; ++k) {
    if (Bit(v, k)) {
      out.Print<" %c">(OpnaRhythmLetters[k]);
    } else {
      out.Print<" -">();
    }
  }
}

void DecodeRhythmLevel(ReportSink& out, unsigned v) {
  out.Print<"VOL=%2d">(RhythmLevel(v));
  if (Bit(v, 7)) out.Print<" L">();
  if (Bit(v, 6)) out.Print<" R">();
}

void DecodeControl1(ReportSink& out, unsigned v) {
  out.Print<"ADPCM CONTROL1 :">();
  if (Bit(v, 0)) out.Print<" RESET">();
  if (Bit(v, 3)) out.Print<" SP OFF">();
  if (Bit(v, 4)) out.Print<" REPEAT">();
  if (Bit(v, 5)) out.Print<" MEM DATA">();
  if (Bit(v, 6)) out.Print<" REC">();
  if (Bit(v, 7)) out.Print<" START">();
}

void DecodeControl2(ReportSink& out, unsigned v) {
  out.Print<"ADPCM CONTROL2 :">();
  if (Bit(v, 0)) {
    out.Print<" ROM">();
  } else {
    out.Print<" RAM">();
  }
  if (Bit(v, 1)) {
    out.Print<" RAM_TYPE=x8">();
  } else {
    out.Print<" RAM_TYPE=x1">();
  }
  if (Bit(v, 2)) out.Print<" DA/AD">();
  if (Bit(v, 3)) out.Print<" SAMPLE">();
  if (Bit(v, 6)) out.Print<" L">();
  if (Bit(v, 7)) out.Print<" R">();
}

void DecodeFlagControl(ReportSink& out, unsigned v) {
  out.Print<"ADPCM FLAG CONTROL :">();
  if (Bit(v, 0)) out.Print<" MSK_TA">();
  if (Bit(v, 1)) out.Print<" MSK_TB">();
  if (Bit(v, 2)) out.Print<" MSK_EOS">();
  if (Bit(v, 3)) out.Print<" MSK_BRDY">();
  if (Bit(v, 4)) out.Print<" MSK_ZERO">();
  if (Bit(v, 7)) out.Print<" IRQ_RST">();
}

}  // namespace

void DecodeRhythm(ReportSink& out, unsigned reg, unsigned v) {
  switch (reg) {
    case 0x10:
      DecodeRhythmKey(out, v);
      break;
    case 0x11:
      out.Print<"RHY Total Level=%03d">(v);
      break;
    case 0x12:
      out.Print<"RHY Test : %02x">(v);
      break;
    case 0x18:
      out.Print<"RHY / Bass drum  ">();
      DecodeRhythmLevel(out, v);
      break;
    case 0x19:
      out.Print<"RHY / Snare drum ">();
      DecodeRhythmLevel(out, v);
      break;
    case 0x1A:
      out.Print<"RHY / Cymbal     ">();
      DecodeRhythmLevel(out, v);
      break;
    case 0x1B:
      out.Print<"RHY / Hi-Hat     ">();
      DecodeRhythmLevel(out, v);
      break;
    case 0x1C:
      out.Print<"RHY / Tom        ">();
      DecodeRhythmLevel(out, v);
      break;
    case 0x1D:
      out.Print<"RHY / Rim shot   ">();
      DecodeRhythmLevel(out, v);
      break;
    default:
      break;
  }
}

void DecodeAdpcm(ReportSink& out, OpnDeviceState& state, unsigned reg, unsigned v) {
  switch (reg) {
    case 0x00:
      DecodeControl1(out, v);
      break;
    case 0x01:
      DecodeControl2(out, v);
      break;
    case 0x02:
      state.AdpcmStart = WithLowByte(state.AdpcmStart, v);
      out.Print<"ADPCM START ADR(L)=$%02x($%04x)">(v, state.AdpcmStart);
      break;
    case 0x03:
      state.AdpcmStart = WithHighBits(state.AdpcmStart, v);
      out.Print<"ADPCM START ADR(H)=$%02x($%04x)">(v, state.AdpcmStart);
      break;
    case 0x04:
      state.AdpcmStop = WithLowByte(state.AdpcmStop, v);
      out.Print<"ADPCM  STOP ADR(L)=$%02x($%04x)">(v, state.AdpcmStop);
      break;
    case 0x05:
      state.AdpcmStop = WithHighBits(state.AdpcmStop, v);
      out.Print<"ADPCM  STOP ADR(H)=$%02x($%04x)">(v, state.AdpcmStop);
      break;
    case 0x06:
      state.AdpcmPrescale = WithLowByte(state.AdpcmPrescale, v);
      out.Print<"ADPCM PRESCALE(L)=$%02x($%04x)">(v, state.AdpcmPrescale);
      break;
    case 0x07:
      state.AdpcmPrescale = WithHighBits(state.AdpcmPrescale, PrescaleHigh(v));
      out.Print<"ADPCM PRESCALE(H)=$%02x($%04x)">(v, state.AdpcmPrescale);
      break;
    case 0x08:
      out.Print<"ADPCM DATA=$%02x">(v);
      break;
    case 0x09:
      state.AdpcmDeltaN = WithLowByte(state.AdpcmDeltaN, v);
      out.Print<"ADPCM DELTA-N(L)=$%02x($%04x)">(v, state.AdpcmDeltaN);
      break;
    case 0x0A:
      state.AdpcmDeltaN = WithHighBits(state.AdpcmDeltaN, v);
      out.Print<"ADPCM DELTA-N(H)=$%02x($%04x)">(v, state.AdpcmDeltaN);
      break;
    case 0x0B:
      out.Print<"ADPCM EG-CONTROL=$%02x">(v);
      break;
    case 0x0C:
      state.AdpcmLimit = WithLowByte(state.AdpcmLimit, v);
      out.Print<"ADPCM LIMIT ADR(L)=$%02x($%04x)">(v, state.AdpcmLimit);
      break;
    case 0x0D:
      state.AdpcmLimit = WithHighBits(state.AdpcmLimit, v);
      out.Print<"ADPCM LIMIT ADR(H)=$%02x($%04x)">(v, state.AdpcmLimit);
      break;
    case 0x0E:
      out.Print<"ADPCM DAC DATA=$%02x">(v);
      break;
    case 0x0F:
      out.Print<"PCM DATA=$%02x">(v);
      break;
    case 0x10:
      DecodeFlagControl(out, v);
      break;
    default:
      break;
  }
}

}  // namespace tavrin::opn
