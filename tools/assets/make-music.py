#!/usr/bin/python3
"""Writes the scores of the two music loops as MIDI files, for make-sounds.sh to render.

    make-music.py OUTDIR [PASSES]

Writes OUTDIR/MenuMusic.mid and OUTDIR/GameMusic.mid, each holding its tune PASSES times in a row
(default 2), and prints one line per tune: "NAME LOOP_SAMPLES", the length of one pass in samples
at 44.1 kHz. Each tempo is chosen so that one pass is a whole number of samples (and of FluidSynth's
64-sample blocks), so every pass is rendered the same way and the loop can be cut to the sample.

Needs: python3-mido (Debian package). Run with Debian's python3, which finds it.

A score is a list of parts. A melody is written as tokens NOTE:EIGHTHS ("E5:2" is an E5 held for
a quarter note, "r:1" an eighth rest); chords as NOTE-NOTE-NOTE, one per bar, stabbed where a
bar's pattern has an "x"; drums as one bar of pattern letters repeated for every bar.
"""

import sys

import mido

RATE = 44100
TICKS = 480                # ticks per quarter note
EIGHTH = TICKS // 2
BAR = 8 * EIGHTH

NOTE_BASE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi_note(name):
    """'C4' is 60; 'Bb3', 'F#5' take one accidental."""
    pitch = NOTE_BASE[name[0]]
    rest = name[1:]
    if rest[0] == "b":
        pitch -= 1
        rest = rest[1:]
    elif rest[0] == "#":
        pitch += 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + pitch


class Part:
    """One instrument on one MIDI channel: its set-up and its notes as (start, length, note, velocity)."""

    def __init__(self, channel, program, volume, pan, reverb):
        self.channel = channel
        self.program = program
        self.volume = volume
        self.pan = pan
        self.reverb = reverb
        self.notes = []

    def melody(self, tokens, hold, velocity, accent=0, transpose=0):
        """Tokens NOTE:EIGHTHS; each note sounds for `hold` of its slot; notes on a beat get `accent` more."""
        t = 0
        for token in tokens.split():
            name, eighths = token.split(":")
            slot = int(eighths) * EIGHTH
            if name != "r":
                v = velocity + (accent if t % TICKS == 0 else 0)
                self.notes.append((t, max(1, int(slot * hold)), midi_note(name) + transpose, v))
            t += slot
        return t

    def chords(self, pattern, chords, hold, velocity, accent=0):
        """One chord a bar ("C4-E4-G4"), stabbed on each "x" of the eight-character pattern."""
        for bar, chord in enumerate(chords.split()):
            notes = [midi_note(n) for n in chord.split("-")]
            for i, c in enumerate(pattern):
                if c != "x":
                    continue
                t = bar * BAR + i * EIGHTH
                v = velocity + (accent if i % 4 == 0 else 0)
                for n in notes:
                    self.notes.append((t, int(EIGHTH * hold), n, v))
        return len(chords.split()) * BAR

    def drums(self, bars, pattern, kit):
        """`pattern` is one bar in eighths; each letter names a (note, velocity) of `kit`, "." is nothing."""
        for bar in range(bars):
            for i, c in enumerate(pattern):
                if c in kit:
                    for note, velocity in kit[c]:
                        self.notes.append((bar * BAR + i * EIGHTH, EIGHTH // 2, note, velocity))
        return bars * BAR


def write(path, bpm, parts, length, passes):
    """A type-1 MIDI file: a tempo track and one track per part, the tune `passes` times in a row."""
    f = mido.MidiFile(type=1, ticks_per_beat=TICKS)
    tempo = mido.bpm2tempo(bpm)
    meta = mido.MidiTrack()
    meta.append(mido.MetaMessage("set_tempo", tempo=tempo, time=0))
    meta.append(mido.MetaMessage("time_signature", numerator=4, denominator=4, time=0))
    # The last pass is followed by a quiet bar, so the renderer goes on past the end of the loop
    # and the second pass is rendered in full.
    meta.append(mido.MetaMessage("marker", text="end", time=passes * length + BAR))
    meta.append(mido.MetaMessage("end_of_track", time=0))
    f.tracks.append(meta)
    for p in parts:
        ch = p.channel
        events = [
            (0, 0, mido.Message("control_change", channel=ch, control=7, value=p.volume)),
            (0, 0, mido.Message("control_change", channel=ch, control=10, value=p.pan)),
            (0, 0, mido.Message("control_change", channel=ch, control=91, value=p.reverb)),
            (0, 0, mido.Message("control_change", channel=ch, control=93, value=0)),
        ]
        if ch != 9:
            events.append((0, 0, mido.Message("program_change", channel=ch, program=p.program)))
        for n in range(passes):
            base = n * length
            for start, dur, note, velocity in p.notes:
                # note-offs sort before note-ons at the same tick, so a repeated note is struck anew
                events.append((base + start, 1, mido.Message("note_on", channel=ch, note=note, velocity=velocity)))
                events.append((base + start + dur, 0, mido.Message("note_off", channel=ch, note=note, velocity=0)))
        events.sort(key=lambda e: (e[0], e[1]))
        track = mido.MidiTrack()
        now = 0
        for t, _, msg in events:
            track.append(msg.copy(time=t - now))
            now = t
        track.append(mido.MetaMessage("end_of_track", time=passes * length + BAR - now))
        f.tracks.append(track)
    f.save(path)
    samples = length * tempo * RATE // (TICKS * 1_000_000)
    assert length * tempo * RATE % (TICKS * 1_000_000) == 0 and samples % 64 == 0, "loop is not whole blocks"
    return samples


# ---------------------------------------------------------------------------------------------
# The menu tune: a cheerful farmyard polka in C, 120 beats a minute, 16 bars (32 s). A fiddle plays
# the tune, a banjo the "pah" on beats two and four, a tuba the "oom" on one and three, and wood
# blocks trot along like hooves.
# Chords: C Am F G | C Am Dm G | F G Em Am | F G C C

def menu():
    lead = Part(0, 110, 100, 64, 40)   # Fiddle
    length = lead.melody(
        "E5:2 G5:2 E5:1 D5:1 C5:2   A4:2 C5:2 E5:3 r:1   F5:2 E5:1 D5:1 C5:2 A4:2   G4:2 B4:2 D5:3 r:1 "
        "E5:2 G5:2 A5:1 G5:1 E5:2   C5:2 E5:2 A5:3 r:1   F5:2 A5:2 F5:1 E5:1 D5:2   B4:2 D5:2 G5:3 r:1 "
        "C5:1 D5:1 F5:2 A5:2 F5:2   B4:1 C5:1 D5:2 G5:2 D5:2   E5:2 G5:2 B5:2 G5:2   A5:3 G5:1 E5:2 C5:2 "
        "F5:2 A5:2 C6:2 A5:2   G5:2 F5:1 E5:1 D5:2 B4:2   C5:2 E5:2 G5:2 E5:2   C5:4 r:2 G4:2",
        hold=0.85, velocity=84, accent=10)
    bells = Part(3, 12, 70, 76, 50)    # Marimba, an octave up, on the tune's notes at the start of each beat
    bells.melody(
        "E5:2 G5:2 E5:1 D5:1 C5:2   A4:2 C5:2 E5:3 r:1   F5:2 E5:1 D5:1 C5:2 A4:2   G4:2 B4:2 D5:3 r:1 "
        "E5:2 G5:2 A5:1 G5:1 E5:2   C5:2 E5:2 A5:3 r:1   F5:2 A5:2 F5:1 E5:1 D5:2   B4:2 D5:2 G5:3 r:1 "
        "C5:1 D5:1 F5:2 A5:2 F5:2   B4:1 C5:1 D5:2 G5:2 D5:2   E5:2 G5:2 B5:2 G5:2   A5:3 G5:1 E5:2 C5:2 "
        "F5:2 A5:2 C6:2 A5:2   G5:2 F5:1 E5:1 D5:2 B4:2   C5:2 E5:2 G5:2 E5:2   C5:4 r:2 G4:2",
        hold=0.5, velocity=52, accent=8)
    banjo = Part(1, 105, 90, 88, 35)   # Banjo
    banjo.chords("..x...x.",
                 "C4-E4-G4 C4-E4-A4 C4-F4-A4 B3-D4-G4  C4-E4-G4 C4-E4-A4 D4-F4-A4 B3-D4-G4 "
                 "C4-F4-A4 B3-D4-G4 B3-E4-G4 C4-E4-A4  C4-F4-A4 B3-D4-G4 C4-E4-G4 C4-E4-G4",
                 hold=0.9, velocity=72)
    tuba = Part(2, 58, 100, 56, 25)    # Tuba
    tuba.melody(
        "C3:4 G2:4  A2:4 E3:4  F2:4 C3:4  G2:4 D3:4 "
        "C3:4 G2:4  A2:4 E3:4  D3:4 A2:4  G2:4 D3:4 "
        "F2:4 C3:4  G2:4 D3:4  E3:4 B2:4  A2:4 E3:4 "
        "F2:4 C3:4  G2:4 D3:4  C3:4 G2:4  C3:4 G2:4",
        hold=0.45, velocity=88, accent=6)
    hooves = Part(9, 0, 90, 40, 30)
    hooves.drums(16, "l.h.l.hm", {"l": [(77, 70)], "h": [(76, 62)], "m": [(70, 40)]})
    return 120, [lead, bells, banjo, tuba, hooves], length


# ---------------------------------------------------------------------------------------------
# The game tune: a quick, bouncy hoedown in F, 150 beats a minute, 16 bars (25.6 s). A clarinet
# plays the tune with a xylophone an octave above, a steel-string guitar strums the off-beats,
# an acoustic bass jumps between root and octave, and a small drum kit drives it along.
# Chords: F Dm Bb C | F Dm Gm C | Bb C Am Dm | Gm C F F

GAME_TUNE = (
    "C5:1 C5:1 A4:1 C5:1 F5:2 C5:2   D5:1 D5:1 F5:1 D5:1 A4:2 r:2   "
    "Bb4:1 D5:1 F5:1 D5:1 Bb4:2 D5:2   C5:1 E5:1 G5:1 E5:1 C5:2 r:2 "
    "A5:1 G5:1 F5:1 G5:1 A5:2 F5:2   F5:1 E5:1 D5:1 E5:1 F5:2 D5:2   "
    "G5:1 F5:1 D5:1 Bb4:1 G4:2 Bb4:2   C5:2 E5:2 G5:2 r:2 "
    "D5:1 F5:1 Bb5:2 A5:1 G5:1 F5:2   E5:1 G5:1 C6:2 Bb5:1 A5:1 G5:2   "
    "A5:1 G5:1 E5:1 C5:1 A4:2 C5:2   D5:1 F5:1 A5:2 F5:1 E5:1 D5:2 "
    "Bb4:1 D5:1 G5:2 F5:1 D5:1 Bb4:2   C5:1 E5:1 G5:1 Bb5:1 A5:1 G5:1 E5:2   "
    "F5:2 A5:1 C6:1 A5:2 F5:2   F5:2 r:2 C5:1 C5:1 E5:2"
)


def game():
    lead = Part(0, 71, 100, 60, 35)    # Clarinet
    length = lead.melody(GAME_TUNE, hold=0.7, velocity=86, accent=10)
    xylo = Part(3, 13, 72, 72, 40)     # Xylophone, an octave up
    xylo.melody(GAME_TUNE, hold=0.5, velocity=64, accent=10, transpose=12)
    guitar = Part(1, 25, 82, 84, 30)   # Acoustic guitar (steel)
    guitar.chords(".x.x.x.x",
                  "A3-C4-F4 A3-D4-F4 Bb3-D4-F4 G3-C4-E4  A3-C4-F4 A3-D4-F4 Bb3-D4-G4 G3-C4-E4 "
                  "Bb3-D4-F4 G3-C4-E4 A3-C4-E4 A3-D4-F4  Bb3-D4-G4 G3-C4-E4 A3-C4-F4 A3-C4-F4",
                  hold=0.6, velocity=66)
    bass = Part(2, 32, 105, 64, 20)    # Acoustic bass
    roots = {"F": ("F2", "F3"), "Dm": ("D2", "D3"), "Bb": ("Bb1", "Bb2"), "C": ("C2", "C3"),
             "Gm": ("G1", "G2"), "Am": ("A1", "A2")}
    tokens = []
    for chord in "F Dm Bb C  F Dm Gm C  Bb C Am Dm  Gm C F F".split():
        lo, hi = roots[chord]
        tokens += [f"{lo}:1", f"{hi}:1"] * 4
    bass.melody(" ".join(tokens), hold=0.8, velocity=90, accent=8)
    drums = Part(9, 0, 92, 64, 25)
    drums.drums(16, "khshkhsh", {"k": [(36, 96), (42, 50)], "s": [(38, 78), (42, 50)], "h": [(42, 56)]})
    return 150, [lead, xylo, guitar, bass, drums], length


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: make-music.py OUTDIR [PASSES]")
    out = sys.argv[1]
    passes = int(sys.argv[2]) if len(sys.argv) == 3 else 2
    for name, score in (("MenuMusic", menu), ("GameMusic", game)):
        bpm, parts, length = score()
        samples = write(f"{out}/{name}.mid", bpm, parts, length, passes)
        print(name, samples)


if __name__ == "__main__":
    main()
