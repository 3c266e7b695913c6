#!/usr/bin/env bash
# Makes the game's sounds into resources/:
#   effects  Hit.caf, Miss.caf, GameOver.caf            (sox synth)
#   lines    the fourteen spoken pickup lines (*.caf)   (espeak-ng, sox)
#   music    MenuMusic.mp3, GameMusic.mp3              (sox synth, lame)
# Usage: make-sounds.sh [effects] [lines] [music]   (no argument: all three)
# Needs: sox libsox-fmt-all espeak-ng lame sndfile-programs (Debian packages).
# Every CAF file is 16-bit PCM, mono, 22050 Hz; every file is checked with sndfile-info, since the
# game decodes them with libsndfile.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="$(cd "$here/../.." && pwd)/resources"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# sox in repeatable mode: noise, plucks and dither are seeded the same way on every run, so
# regenerating leaves unchanged sounds byte for byte the same.
sox() { command sox -R "$@"; }

RATE=22050
S=(-r "$RATE" -c 1 -b 16)   # the sample format of every intermediate file
# Sounds are synthesised at 44.1 kHz (sox's pluck needs it) and written at 22.05 kHz.
SYNTH=44100
N=(-r "$SYNTH" -c 1 -n)     # generated input; lengths given in samples count at this rate

# Writes WAV $1 as a 16-bit CAF into resources/ under the name $2 and checks that libsndfile reads it.
to_caf() {
  sndfile-convert -pcm16 "$1" "$out/$2"
  sndfile-info "$out/$2" | grep -q 'Sample Rate : 22050' || { echo "make-sounds: $2 unreadable" >&2; exit 1; }
  printf 'make-sounds: %-16s %6.2f s\n' "$2" "$(soxi -D "$out/$2")"
}

# ---------------------------------------------------------------------------------------------
# Effects
effects() {
  cd "$work"
  # Hit: a bright pop. A fast upward chirp, its octave, and a tiny burst of noise for the attack.
  sox "${N[@]}" "${S[@]}" pop1.wav synth 0.14 sine 520-1560 fade q 0.003 0.14 0.10 vol 0.8
  sox "${N[@]}" "${S[@]}" pop2.wav synth 0.14 sine 1040-3120 fade q 0.003 0.14 0.10 vol 0.3
  sox "${N[@]}" "${S[@]}" pop3.wav synth 0.02 pinknoise fade q 0.001 0.02 0.018 vol 0.4 pad 0 0.12
  sox -m pop1.wav pop2.wav pop3.wav hit.wav norm -1
  to_caf hit.wav Hit.caf

  # Miss: a low buzz. Two slightly detuned, slowly falling buzzy tones with a fast tremolo.
  sox "${N[@]}" "${S[@]}" buzz1.wav synth 0.45 sawtooth 140-105 fade q 0.01 0.45 0.15
  sox "${N[@]}" "${S[@]}" buzz2.wav synth 0.45 square 141.5-106 fade q 0.01 0.45 0.15 vol 0.5
  sox -m buzz1.wav buzz2.wav miss.wav tremolo 18 60 lowpass 1200 norm -3
  to_caf miss.wav Miss.caf

  # GameOver: a descending jingle G5 E5 C5 A4, then a wobbly "wah-wah" sliding down from G4.
  local i=0 n
  for n in G5 E5 C5 A4; do
    sox "${N[@]}" "${S[@]}" jingle$i.wav synth 0.18 pluck "$n" synth 0.18 sine mix "$n" fade q 0.005 0.18 0.06
    i=$((i + 1))
  done
  sox "${N[@]}" "${S[@]}" jingle4.wav synth 0.9 triangle G4-D4 tremolo 6 40 lowpass 2500 fade q 0.01 0.9 0.4
  sox jingle0.wav jingle1.wav jingle2.wav jingle3.wav jingle4.wav gameover.wav norm -1
  to_caf gameover.wav GameOver.caf
}

# ---------------------------------------------------------------------------------------------
# Pickup lines: file name | voice | espeak pitch | words
LINES=(
  "Biscuts|rooster|Hey there, biscuit! Got any crumbs for a hungry rooster?"
  "DonkeyKong|rooster|Hee haw! Even the donkey says you're king of the farm!"
  "DontUsually|girl|I don't usually talk to farmers, but you look egg-cellent today."
  "FellFrom|rooster|Did it hurt when you fell from the hayloft?"
  "Holla|rooster|Holla! Cock-a-doodle-doo!"
  "LikeThis|girl|You like this? Peck, peck, peck!"
  "Milk|girl|Got milk? The cow says moo to you!"
  "Mirror|rooster|Mirror, mirror, on the barn, who's the cheekiest rooster on the farm?"
  "NeedIt|rooster|I need it! I need a handful of corn!"
  "NotLike|rooster|It's not like I'm chicken or anything!"
  "Running|girl|Keep running, little chick, the farmer's coming!"
  "Snickers|rooster|Hee hee hee! Stop it, that tickles my feathers!"
  "Terrorist|girl|Oh no, here comes the terror of the hen house!"
  "WantIt|rooster|You want it? Come and peck it!"
)

lines() {
  cd "$work"
  local entry name who words
  for entry in "${LINES[@]}"; do
    IFS='|' read -r name who words <<<"$entry"
    if [ "$who" = rooster ]; then
      # a perky male voice, raised a little further by sox for a cartoon rooster
      espeak-ng -v en-us+m3 -p 72 -s 165 -a 100 -w raw.wav "$words"
      fx=(pitch 180)
    else
      espeak-ng -v en-us+f3 -p 60 -s 160 -a 100 -w raw.wav "$words"
      fx=(pitch 60)
    fi
    # trim the silence at both ends, shape, normalise, add a short tail
    sox raw.wav "${S[@]}" trimmed.wav gain -6 "${fx[@]}" highpass 90 \
      silence 1 0.01 0.3% reverse silence 1 0.01 0.3% reverse
    sox trimmed.wav line.wav fade q 0.01 "$(soxi -D trimmed.wav)" 0.04 norm -1 pad 0.02 0.08
    to_caf line.wav "$name.caf"
  done
}

# ---------------------------------------------------------------------------------------------
# Music. Every part of a tune is a chain of slots whose lengths are whole multiples of one
# eighth note counted in samples, so the parts stay in step to the sample (at the synthesis rate). Every note fades out
# inside its slot and the last bar leads back into the first, so the file loops without a seam.

declare -A CACHE
seg_no=0

M=(-r "$SYNTH" -c 1 -b 16)  # the format of the music's intermediate files

# seg LENGTH_SAMPLES KIND NOTE... : makes the file of one slot (cached by its arguments) and leaves
# its name in SEG. (Not called in a subshell, so that the cache survives.)
#   kinds: rest, marimba N, pluck N, chord N N N, lead N (square), bass N, kick, snare, hat
seg() {
  local len=$1 kind=$2; shift 2
  local key="$len|$kind|$*"
  if [ -n "${CACHE[$key]:-}" ]; then SEG=${CACHE[$key]}; return; fi
  local f="seg$seg_no.wav"; seg_no=$((seg_no + 1))
  # the slot in seconds, rounded down (fade takes its stop position in seconds: given in samples,
  # it would count them at a rate other than ours)
  local secs; secs=$(awk -v n="$len" -v r="$SYNTH" 'BEGIN { printf "%.6f", int(n / r * 1e6) / 1e6 }')
  case "$kind" in
    rest)
      sox "${N[@]}" "${M[@]}" "$f" trim 0 "${len}s" ;;
    marimba)   # a soft mallet: plucked string plus a sine, decaying over the slot
      sox "${N[@]}" "${M[@]}" "$f" synth "${len}s" pluck "$1" synth "${len}s" sine mix "$1" \
        vol 0.5 fade l 0.003 "$secs" "$(awk -v s="$secs" 'BEGIN { print s - 0.004 }')" ;;
    pluck)
      sox "${N[@]}" "${M[@]}" "$f" synth "${len}s" pluck "$1" vol 0.6 fade q 0.002 "$secs" 0.03 ;;
    chord)     # three plucked notes, short and light (the "pah" of oom-pah)
      sox -r "$SYNTH" -c 3 -n -b 16 "$f.3.wav" synth 0.16 pluck "$1" pluck "$2" pluck "$3" vol 0.5
      sox "$f.3.wav" "${M[@]}" "$f" remix - fade q 0.002 0.16 0.05 vol 0.7 pad 0 "$((len - 7056))s" ;;
    lead)      # a square lead, played staccato, softened by a low-pass filter
      local on=$((len * 7 / 10))
      sox "${N[@]}" "${M[@]}" "$f" synth "${on}s" square "$1" vol 0.22 lowpass 2600 fade q 0.004 "${on}s" 0.03 \
        pad 0 "$((len - on))s" ;;
    bass)      # a round bass: triangle with a short pluck on top
      sox "${N[@]}" "${M[@]}" "$f" synth "${len}s" triangle "$1" synth "${len}s" pluck mix "$1" vol 0.55 \
        fade q 0.004 "$secs" "$(awk -v s="$secs" 'BEGIN { print s * 0.4 }')" ;;
    kick)
      sox "${N[@]}" "${M[@]}" "$f" synth 0.14 sine 130-45 fade q 0.002 0.14 0.1 vol 0.7 pad 0 "$((len - 6174))s" ;;
    snare)
      sox "${N[@]}" "${M[@]}" "$f" synth 0.12 whitenoise vol 0.45 bandpass 1800 1.2q fade q 0.001 0.12 0.11 \
        pad 0 "$((len - 5292))s" ;;
    hat)
      sox "${N[@]}" "${M[@]}" "$f" synth 0.04 whitenoise vol 0.2 highpass 7000 fade q 0.001 0.04 0.038 \
        pad 0 "$((len - 1764))s" ;;
  esac
  CACHE[$key]="$f"
  SEG=$f
}

# part FILE EIGHTH_SAMPLES KIND TOKENS... ; a token is NOTE:EIGHTHS, r:EIGHTHS is a rest.
part() {
  local file=$1 eighth=$2 kind=$3; shift 3
  local parts=() tok note n
  for tok in "$@"; do
    note=${tok%%:*}; n=${tok##*:}
    if [ "$note" = r ]; then
      seg $((eighth * n)) rest; parts+=("$SEG")
    else
      seg $((eighth * n)) "$kind" "$note"; parts+=("$SEG")
    fi
  done
  sox "${parts[@]}" "$file"
}

# chords FILE EIGHTH_SAMPLES PATTERN CHORDS... : PATTERN is eight characters per bar, "x" a chord
# stab on that eighth, "." a rest; a chord is three notes joined by "-".
chords() {
  local file=$1 eighth=$2 pattern=$3; shift 3
  local parts=() c i
  for c in "$@"; do
    for ((i = 0; i < 8; i++)); do
      if [ "${pattern:i:1}" = x ]; then
        seg "$eighth" chord ${c//-/ }; parts+=("$SEG")
      else
        seg "$eighth" rest; parts+=("$SEG")
      fi
    done
  done
  sox "${parts[@]}" "$file"
}

# drums FILE EIGHTH_SAMPLES BARS PATTERN : PATTERN is eight characters for one bar:
# k kick, s snare, h hat, . nothing. Repeated for BARS bars.
drums() {
  local file=$1 eighth=$2 bars=$3 pattern=$4
  local parts=() b i
  for ((b = 0; b < bars; b++)); do
    for ((i = 0; i < 8; i++)); do
      case "${pattern:i:1}" in
        k) seg "$eighth" kick; parts+=("$SEG") ;;
        s) seg "$eighth" snare; parts+=("$SEG") ;;
        h) seg "$eighth" hat; parts+=("$SEG") ;;
        *) seg "$eighth" rest; parts+=("$SEG") ;;
      esac
    done
  done
  sox "${parts[@]}" "$file"
}

# mix the parts and encode a mono MP3 of modest bit rate
finish() {
  local name=$1; shift
  sox -m "$@" "${S[@]}" mix.wav norm -4   # the -v weights are kept low enough not to clip
  # Average bit rate rather than constant: at 48 kbit/s constant the frames are too small for
  # lame's info tag, and without the tag libsndfile cannot drop the encoder's lead-in and padding,
  # which would leave a short gap at the loop point. With it, the decoded length is exact.
  lame --quiet -m m --abr 48 mix.wav "$out/$name"
  sndfile-info "$out/$name" | grep -q 'Sample Rate : 22050' || { echo "make-sounds: $name unreadable" >&2; exit 1; }
  sndfile-convert -pcm16 "$out/$name" decoded.wav
  if [ "$(soxi -s decoded.wav)" != "$(soxi -s mix.wav)" ]; then
    echo "make-sounds: $name decodes to $(soxi -s decoded.wav) frames, not $(soxi -s mix.wav): it will not loop cleanly" >&2
    exit 1
  fi
  printf 'make-sounds: %-16s %6.2f s\n' "$name" "$(soxi -D mix.wav)"
}

music() {
  cd "$work"
  # The menu tune: an easy oom-pah in C, about 115 beats a minute, 16 bars (33.3 s).
  # Chords: C Am F G | C Am Dm G | F G Em Am | F G C C
  local E=11466  # one eighth note: 0.26 s at 44.1 kHz
  part menu_lead.wav $E marimba \
    E5:2 G5:2 E5:1 D5:1 C5:2   A4:2 C5:2 E5:3 r:1   F5:2 E5:1 D5:1 C5:2 A4:2   G4:2 B4:2 D5:3 r:1 \
    E5:2 G5:2 A5:1 G5:1 E5:2   C5:2 E5:2 A5:3 r:1   F5:2 A5:2 F5:1 E5:1 D5:2   B4:2 D5:2 G5:3 r:1 \
    C5:1 D5:1 F5:2 A5:2 F5:2   B4:1 C5:1 D5:2 G5:2 D5:2   E5:2 G5:2 B5:2 G5:2   A5:3 G5:1 E5:2 C5:2 \
    F5:2 A5:2 C6:2 A5:2   G5:2 F5:1 E5:1 D5:2 B4:2   C5:2 E5:2 G5:2 E5:2   C5:4 r:2 G4:2
  part menu_bass.wav $E pluck \
    C3:4 G2:4  A2:4 E3:4  F2:4 C3:4  G2:4 D3:4 \
    C3:4 G2:4  A2:4 E3:4  D3:4 A2:4  G2:4 D3:4 \
    F2:4 C3:4  G2:4 D3:4  E3:4 B2:4  A2:4 E3:4 \
    F2:4 C3:4  G2:4 D3:4  C3:4 G2:4  C3:4 G2:4
  chords menu_chords.wav $E "..x...x." \
    C4-E4-G4 C4-E4-A4 C4-F4-A4 B3-D4-G4  C4-E4-G4 C4-E4-A4 D4-F4-A4 B3-D4-G4 \
    C4-F4-A4 B3-D4-G4 B3-E4-G4 C4-E4-A4  C4-F4-A4 B3-D4-G4 C4-E4-G4 C4-E4-G4
  drums menu_drums.wav $E 16 "h.h.h.hh"
  finish MenuMusic.mp3 -v 0.5 menu_lead.wav -v 0.45 menu_bass.wav -v 0.4 menu_chords.wav -v 0.3 menu_drums.wav

  # The game tune: a bouncy chiptune in F, 150 beats a minute, 16 bars (25.6 s).
  # Chords: F Dm Bb C | F Dm Gm C | Bb C Am Dm | Gm C F F
  E=8820         # one eighth note: 0.2 s at 44.1 kHz
  part game_lead.wav $E lead \
    C5:1 C5:1 A4:1 C5:1 F5:2 C5:2   D5:1 D5:1 F5:1 D5:1 A4:2 r:2   Bb4:1 D5:1 F5:1 D5:1 Bb4:2 D5:2   C5:1 E5:1 G5:1 E5:1 C5:2 r:2 \
    A5:1 G5:1 F5:1 G5:1 A5:2 F5:2   F5:1 E5:1 D5:1 E5:1 F5:2 D5:2   G5:1 F5:1 D5:1 Bb4:1 G4:2 Bb4:2   C5:2 E5:2 G5:2 r:2 \
    D5:1 F5:1 Bb5:2 A5:1 G5:1 F5:2   E5:1 G5:1 C6:2 Bb5:1 A5:1 G5:2   A5:1 G5:1 E5:1 C5:1 A4:2 C5:2   D5:1 F5:1 A5:2 F5:1 E5:1 D5:2 \
    Bb4:1 D5:1 G5:2 F5:1 D5:1 Bb4:2   C5:1 E5:1 G5:1 Bb5:1 A5:1 G5:1 E5:2   F5:2 A5:1 C6:1 A5:2 F5:2   F5:2 r:2 C5:1 C5:1 E5:2
  local bars=(F Dm Bb C  F Dm Gm C  Bb C Am Dm  Gm C F F) tokens=() b lo hi
  for b in "${bars[@]}"; do
    case "$b" in
      F) lo=F2 hi=F3 ;; Dm) lo=D2 hi=D3 ;; Bb) lo=Bb1 hi=Bb2 ;; C) lo=C2 hi=C3 ;;
      Gm) lo=G1 hi=G2 ;; Am) lo=A1 hi=A2 ;;
    esac
    tokens+=("$lo:1" "$hi:1" "$lo:1" "$hi:1" "$lo:1" "$hi:1" "$lo:1" "$hi:1")
  done
  part game_bass.wav $E bass "${tokens[@]}"
  chords game_chords.wav $E ".x.x.x.x" \
    A3-C4-F4 A3-D4-F4 Bb3-D4-F4 G3-C4-E4  A3-C4-F4 A3-D4-F4 Bb3-D4-G4 G3-C4-E4 \
    Bb3-D4-F4 G3-C4-E4 A3-C4-E4 A3-D4-F4  Bb3-D4-G4 G3-C4-E4 A3-C4-F4 A3-C4-F4
  drums game_drums.wav $E 16 "khshkhsh"
  finish GameMusic.mp3 -v 0.5 game_lead.wav -v 0.4 game_bass.wav -v 0.3 game_chords.wav -v 0.35 game_drums.wav
}

[ $# -eq 0 ] && set -- effects lines music
for what in "$@"; do
  case "$what" in
    effects) effects ;;
    lines) lines ;;
    music) music ;;
    *) echo "usage: $0 [effects] [lines] [music]" >&2; exit 2 ;;
  esac
done
