#!/usr/bin/python3
"""--midi and --roll checked with real clients: mido, midicsv, fluidsynth with a GM soundfont, rsvg-convert.

usage: midi_clients_test.py TAVRIN CORPUS_DIR WORK_DIR
Exit 0 when every check passes, 1 on a failure, 77 (skipped) when a client is not installed.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import wave
import xml.etree.ElementTree as ET

try:
    import mido
    import numpy
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
for tool in ("midicsv", "fluidsynth", "rsvg-convert"):
    if shutil.which(tool) is None:
        print(f"skipped: {tool} not installed")
        sys.exit(77)
if not os.path.exists(SOUNDFONT):
    print("skipped: timgm6mb-soundfont not installed")
    sys.exit(77)

TAVRIN, CORPUS, WORK = sys.argv[1:4]
os.makedirs(WORK, exist_ok=True)
failures = []

OPNA, OPNA_CLOCK = 4, 7987200


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


# ---- Made-up logs -----------------------------------------------------------------------------

class Log:
    """An S98 version 3 log: 10 ms ticks, the given devices, commands added in order."""

    def __init__(self, devices):
        self.devices = devices
        self.dump = bytearray()
        self.loop = 0
        self.title = None

    def w(self, device, port, reg, value):
        self.dump += bytes([device * 2 + port, reg, value])
        return self

    def wait(self, ticks):
        if ticks == 1:
            self.dump.append(0xFF)
        else:
            n = ticks - 2
            self.dump.append(0xFE)
            while True:
                byte = n & 0x7F
                n >>= 7
                self.dump.append(byte | (0x80 if n else 0))
                if not n:
                    break
        return self

    def mark_loop(self):
        self.loop = len(self.dump)
        return self

    def save(self, path):
        data_offset = 0x20 + 16 * len(self.devices)
        tag = b"[S98]title=" + self.title.encode() + b"\n\0" if self.title else b""
        tag_offset = data_offset + len(self.dump) + 1 if tag else 0
        head = b"S983" + struct.pack("<IIIIII", 10, 1000, 0, tag_offset, data_offset,
                                     data_offset + self.loop if self.loop else 0)
        head += struct.pack("<I", len(self.devices))
        for device_type, clock in self.devices:
            head += struct.pack("<IIII", device_type, clock, 0, 0)
        with open(path, "wb") as f:
            f.write(head + self.dump + b"\xfd" + tag)


def opna_fnumber(hertz, block):
    # OPNA phase step at power-on prescaler: f = F * 2^B * clock / (144 * 2^21)
    return round(hertz * 144 * 2**21 / (OPNA_CLOCK * 2**block))


# FM channels 0-5: channel c is register offset c % 3 on port c // 3.
def fm_pitch(log, device, channel, hertz, block=4):
    f = opna_fnumber(hertz, block)
    port, c = divmod(channel, 3)
    log.w(device, port, 0xA4 + c, (block << 3) | (f >> 8)).w(device, port, 0xA0 + c, f & 0xFF)


def fm_voice(log, device, channel, multiple):
    port, c = divmod(channel, 3)
    log.w(device, port, 0xB0 + c, 0x07)  # algorithm 7: every operator a carrier
    for slot in (0x0, 0x4, 0x8, 0xC):
        log.w(device, port, 0x30 + slot + c, multiple).w(device, port, 0x40 + slot + c, 0)
        log.w(device, port, 0x50 + slot + c, 0x1F)


def key(log, device, channel, on):
    log.w(device, 0, 0x28, (0xF0 if on else 0x00) | (channel % 3) | (4 if channel >= 3 else 0))


def key_of(hertz):
    return 69 + 12 * math.log2(hertz / 440)


def song_log():
    """FM#0: A4 bent to A#4, a key-off, then another voice; SSG#0 by volume; a bass drum hit."""
    log = Log([(OPNA, OPNA_CLOCK)])
    log.title = "Made-up song"
    fm_voice(log, 0, 0, 1)
    fm_pitch(log, 0, 0, 440.0)
    key(log, 0, 0, True)
    log.w(0, 0, 0x10, 0x01)  # rhythm: bass drum
    log.w(0, 0, 0x07, 0x3E)  # SSG: tone A only
    period = round(OPNA_CLOCK / 4 / (16 * 523.25))  # C5 at the power-on SSG divider
    log.w(0, 0, 0x00, period & 0xFF).w(0, 0, 0x01, period >> 8)
    log.wait(5).w(0, 0, 0x08, 15)  # SSG#0 audible at tick 5
    log.wait(5)
    fm_pitch(log, 0, 0, 466.16)  # tick 10: a bend of one semitone
    log.wait(10)
    key(log, 0, 0, False)  # tick 20
    log.wait(5).w(0, 0, 0x08, 0)  # tick 25: SSG#0 silent
    log.wait(5).mark_loop()
    fm_voice(log, 0, 0, 2)  # tick 30: another timbre, another program, at the pitch bent to
    key(log, 0, 0, True)
    log.wait(10)
    key(log, 0, 0, False)  # tick 40
    log.wait(10)
    return log


def track_events(track, tempo, division):
    """(seconds, message) of every channel message of a track."""
    now = 0
    out = []
    for msg in track:
        now += msg.time
        out.append((round(mido.tick2second(now, division, tempo), 9), msg))
    return out


def notes_of(events):
    starts = {}
    notes = []
    for t, m in events:
        if m.type == "note_on" and m.velocity > 0:
            starts[m.note] = t
        elif m.type in ("note_off", "note_on"):
            notes.append((starts.pop(m.note), t, m.note))
    return sorted(notes)


def midi_of(log, name, *options):
    source = os.path.join(WORK, name + ".s98")
    target = os.path.join(WORK, name + ".mid")
    log.save(source)
    run = subprocess.run([TAVRIN, "--midi", *options, "-o", target, source], capture_output=True, text=True)
    check(run.returncode == 0, f"{name}: tavrin --midi exit {run.returncode}: {run.stderr}")
    return mido.MidiFile(target), run.stdout


def tempo_of(midi):
    return next(m.tempo for m in midi.tracks[0] if m.type == "set_tempo")


def check_song():
    midi, _ = midi_of(song_log(), "song")
    tempo, division = tempo_of(midi), midi.ticks_per_beat
    check(midi.type == 1, "song: SMF type 1")
    # Every 10 ms tick of the log lands on a whole MIDI tick.
    check((0.01 * 1e6 * division / tempo) % 1 == 0, f"song: division {division} tempo {tempo} not exact")
    names = [next((m.name for m in t if m.type == "track_name"), None) for t in midi.tracks[1:]]
    check(names == ["#00 OPNA(YM2608) FM#0", "#00 OPNA(YM2608) SSG#0", "#00 OPNA(YM2608) RHYTHM"],
          f"song: track names {names}")
    sequence = [m.name for m in midi.tracks[0] if m.type == "track_name"]
    check(sequence == ["Made-up song"], f"song: the tag's title as sequence name {sequence}")
    markers = [(t, m.text) for t, m in track_events(midi.tracks[0], tempo, division) if m.type == "marker"]
    check(markers == [(0.3, "loop")], f"song: loop marker {markers}")

    fm, ssg, drums = (track_events(t, tempo, division) for t in midi.tracks[1:4])
    check(notes_of(fm) == [(0.0, 0.2, 69), (0.3, 0.4, 70)], f"song: FM#0 notes {notes_of(fm)}")
    programs = [(t, m.program) for t, m in fm if m.type == "program_change"]
    check(programs == [(0.0, 0), (0.3, 1)], f"song: FM#0 programs {programs}")
    rpn = [(m.control, m.value) for t, m in fm if m.type == "control_change"]
    check(rpn[:4] == [(101, 0), (100, 0), (6, 24), (38, 0)], f"song: RPN 0 bend range {rpn}")
    bends = [(t, m.pitch) for t, m in fm if m.type == "pitchwheel"]
    check(len(bends) >= 2 and bends[0][0] == 0.0 and abs(bends[0][1]) <= 2, f"song: bend at the key-on {bends}")
    bent = [b for b in bends if b[0] == 0.1]
    check(len(bent) == 1 and abs(bent[0][1] - 8192 / 24) <= 3, f"song: one-semitone bend at 0.1 s {bends}")
    check(notes_of(ssg) == [(0.05, 0.25, 72)], f"song: SSG#0 notes {notes_of(ssg)}")
    check(all(m.channel == 9 for _, m in drums if m.type.startswith("note")), "song: drums on channel 10")
    check([n[2] for n in notes_of(drums)] == [36], f"song: bass drum key {notes_of(drums)}")
    velocities = [m.velocity for _, m in fm if m.type == "note_on"]
    check(velocities == [127, 127], f"song: velocities of TL 0 carriers {velocities}")

    # --from/--to cut the notes to the range; times count from its start.
    cut, _ = midi_of(song_log(), "song_cut", "--from", "0.15", "--to", "0.35")
    fm_cut = track_events(cut.tracks[1], tempo_of(cut), cut.ticks_per_beat)
    # The bent note is cut at 0.15 s: it starts on the key it was bent to.
    check(notes_of(fm_cut) == [(0.0, 0.05, 70), (0.15, 0.2, 70)], f"cut: FM#0 notes {notes_of(fm_cut)}")
    start_bend = [m.pitch for t, m in fm_cut if m.type == "pitchwheel" and t == 0.0]
    check(start_bend and abs(start_bend[-1]) <= 3, f"cut: the cut note starts unbent {start_bend}")


def check_many_channels():
    """Three OPNAs keying six FM channels each: eighteen melodic tracks over two ports."""
    log = Log([(OPNA, OPNA_CLOCK)] * 3)
    for d in range(3):
        for c in range(6):
            fm_voice(log, d, c, 1)
            fm_pitch(log, d, c, 440.0)
            key(log, d, c, True)
    log.wait(10)
    midi, _ = midi_of(log, "many")
    placed = []
    for track in midi.tracks[1:]:
        port = next(m.port for m in track if m.type == "midi_port")
        channel = next(m.channel for m in track if m.type == "note_on")
        placed.append((port, channel))
    want = [(0, c) for c in range(16) if c != 9] + [(1, 0), (1, 1), (1, 2)]
    check(placed == want, f"many: ports and channels {placed}")
    chosen, _ = midi_of(log, "many_device", "--device", "1")
    names = [next(m.name for m in t if m.type == "track_name") for t in chosen.tracks[1:]]
    check(len(names) == 6 and all(n.startswith("#01 ") for n in names), f"--device 1: tracks {names}")


# ---- Corpus: every MIDI file reads in mido and midicsv ------------------------------------------

def check_corpus():
    if not os.path.isdir(CORPUS):
        print(f"corpus {CORPUS} not present: its checks are skipped")
        return False
    for name in sorted(os.listdir(CORPUS)):
        if not name.endswith(".s98"):
            continue
        target = os.path.join(WORK, "corpus.mid")
        run = subprocess.run([TAVRIN, "--midi", "-o", target, os.path.join(CORPUS, name)], capture_output=True)
        check(run.returncode == 0, f"{name}: tavrin --midi exit {run.returncode}")
        try:
            mido.MidiFile(target)
        except Exception as error:  # noqa: BLE001 - any complaint of the reader is a failure
            check(False, f"{name}: mido: {error}")
        csv = subprocess.run(["midicsv", target], capture_output=True, text=True)
        check(csv.returncode == 0 and csv.stderr == "", f"{name}: midicsv: {csv.stderr}")
    return True


# ---- Sound: fluidsynth renders, an FFT measures ---------------------------------------------------

def peak_hertz(wav_path, start, stop, around):
    with wave.open(wav_path) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = numpy.frombuffer(w.readframes(w.getnframes()), dtype=numpy.int16)
    mono = samples.reshape(-1, channels).mean(axis=1)[int(start * rate):int(stop * rate)]
    spectrum = numpy.abs(numpy.fft.rfft(mono * numpy.hanning(len(mono)), 16 * len(mono)))
    freqs = numpy.fft.rfftfreq(16 * len(mono), 1 / rate)
    band = (freqs > around / 1.3) & (freqs < around * 1.3)
    return float(freqs[numpy.argmax(numpy.where(band, spectrum, 0))])


def render(midi_path):
    wav_path = midi_path[:-4] + ".wav"
    run = subprocess.run(["fluidsynth", "-ni", "-g", "1", "-r", "44100", "-F", wav_path, SOUNDFONT, midi_path],
                         capture_output=True)
    check(run.returncode == 0, f"fluidsynth {midi_path}: exit {run.returncode}")
    return wav_path


def check_sound(corpus_present):
    measured = []
    if corpus_present:
        # The saw is the PSG's envelope used as a tone: 1789773 / (256 x period 7).
        for name, tone in (("opna_7987200_ch1-lr_1000", 1000.0), ("psg_2000000_cha_1000", 1000.0),
                           ("psg_1789773_cha-saw_999", 1789773 / (256 * 7))):
            source = os.path.join(CORPUS, f"denjhang__Modular-multi-chip-hardware-chiptune-Player__{name}.s98")
            if not os.path.exists(source):
                continue
            target = os.path.join(WORK, name + ".mid")
            subprocess.run([TAVRIN, "--midi", "-o", target, source], capture_output=True)
            hertz = peak_hertz(render(target), 0.5, 2.5, tone)
            measured.append((name, tone, hertz))
    # A made-up bend: A4 for a second, then bent up to C5 (three semitones, not a new note).
    log = Log([(OPNA, OPNA_CLOCK)])
    fm_voice(log, 0, 0, 1)
    fm_pitch(log, 0, 0, 440.0)
    key(log, 0, 0, True)
    log.wait(100)
    fm_pitch(log, 0, 0, 523.25)
    log.wait(100)
    midi, _ = midi_of(log, "bend")
    check(sum(1 for m in midi.tracks[1] if m.type == "note_on") == 1, "bend: one note")
    wav_path = render(os.path.join(WORK, "bend.mid"))
    measured.append(("bend, before", 440.0, peak_hertz(wav_path, 0.2, 0.95, 440.0)))
    measured.append(("bend, after", 523.25, peak_hertz(wav_path, 1.2, 1.95, 523.25)))
    for name, want, got in measured:
        print(f"measured {name}: {got:.2f} Hz (tone {want} Hz, {100 * (got - want) / want:+.2f}%)")
        check(abs(got - want) / want < 0.01, f"{name}: {got:.2f} Hz is not within 1% of {want} Hz")


# ---- The piano roll renders -----------------------------------------------------------------------

def check_roll(corpus_present):
    sources = [os.path.join(WORK, "song.s98")]
    rhythm = os.path.join(CORPUS, "denjhang__Modular-multi-chip-hardware-chiptune-Player__opna_8000000_rhythm-lr.s98")
    if corpus_present and os.path.exists(rhythm):
        sources.append(rhythm)
    for source in sources:
        svg = os.path.join(WORK, "roll.svg")
        run = subprocess.run([TAVRIN, "--roll", "--roll-scale", "200", "-o", svg, source], capture_output=True)
        check(run.returncode == 0, f"{source}: tavrin --roll exit {run.returncode}")
        root = ET.parse(svg).getroot()
        texts = [t.text or "" for t in root.iter("{http://www.w3.org/2000/svg}text")]
        check(any("#00 OPNA(YM2608)" in t for t in texts), f"{source}: legend names the channels")
        png = os.path.join(WORK, os.path.basename(source)[:-4] + ".png")
        run = subprocess.run(["rsvg-convert", "-o", png, svg], capture_output=True, text=True)
        check(run.returncode == 0 and run.stderr == "", f"{source}: rsvg-convert: {run.stderr}")
        with open(png, "rb") as f:
            check(f.read(8) == b"\x89PNG\r\n\x1a\n", f"{source}: rsvg-convert wrote a PNG")
    song_svg = os.path.join(WORK, "song.svg")
    subprocess.run([TAVRIN, "--roll", "-o", song_svg, sources[0]], capture_output=True)
    song_texts = [t.text for t in ET.parse(song_svg).getroot().iter("{http://www.w3.org/2000/svg}text")]
    check("loop" in song_texts and "00:00:00.000" in song_texts, f"song roll: loop and time axis {song_texts}")


check_song()
check_many_channels()
present = check_corpus()
check_sound(present)
check_roll(present)
print("failures:", len(failures))
sys.exit(1 if failures else 0)
