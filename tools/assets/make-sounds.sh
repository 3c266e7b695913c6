#!/usr/bin/env bash
# Makes the game's sounds into resources/:
#   effects  Hit.caf, Miss.caf, GameOver.caf            (sox synth)
#   lines    the fourteen spoken pickup lines (*.caf)   (festival with the cmu_us_slt_arctic_hts voice, sox)
#   music    MenuMusic.mp3, GameMusic.mp3              (make-music.py scores, FluidSynth, lame)
# Usage: make-sounds.sh [effects] [lines] [music]   (no argument: all three)
#        make-sounds.sh list-lines   (prints what the lines would be spoken from; needs nothing)
# Needs (Debian packages): sox libsox-fmt-all festival festvox-us-slt-hts fluidsynth
#   fluid-soundfont-gm python3 python3-mido lame ffmpeg sndfile-programs libsndfile1.
#
# Formats: every CAF file is 16-bit PCM, mono, 22050 Hz; the music is MP3, stereo, 44100 Hz, an
# average 96 kbit/s, with lame's info tag (libsndfile reads it and drops the encoder's lead-in and
# padding, so the decoded loop has exactly the rendered length).
#
# Loudness: every file is set to a target loudness, measured with ITU-R BS.1770 (ffmpeg's ebur128
# filter, integrated loudness in LUFS) for files of 400 ms or more and as RMS (dBFS) for shorter
# ones. Pickup lines and effects sit 8 dB above the music. No file peaks above -1 dBFS once
# decoded the way the game decodes it (sound-stats.py); the script checks this for every file.
#
# Repeatable: sox runs in repeatable mode, festival, FluidSynth and lame are deterministic, so a
# re-run from scratch gives the same files byte for byte (with the same package versions).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="$(cd "$here/../.." && pwd)/resources"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

need() {
  local tool pkg missing=()
  for tool in "$@"; do
    pkg=${tool#*:} tool=${tool%%:*}
    command -v "$tool" >/dev/null || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "make-sounds: missing tools; apt-get install ${missing[*]}" >&2
    exit 1
  fi
}
[ "${1:-}" = list-lines ] || need sox:sox soxi:sox ffmpeg:ffmpeg sndfile-info:sndfile-programs /usr/bin/python3:python3

# sox in repeatable mode: noise, plucks and dither are seeded the same way on every run, so
# regenerating leaves unchanged sounds byte for byte the same.
sox() { command sox -R "$@"; }
stats() { /usr/bin/python3 "$here/sound-stats.py" "$@"; }

# Loudness targets: BS.1770 integrated loudness in LUFS (RMS in dBFS for sounds under 400 ms).
LINE_LEVEL=-17      # the pickup lines
EFFECT_LEVEL=-17    # Hit, Miss, GameOver
MUSIC_LEVEL=-25     # both music loops
PEAK_LIMIT=-1.5     # the highest sample peak a CAF file is made with (dBFS); the check allows -1

RATE=22050
S=(-r "$RATE" -c 1 -b 16)   # the sample format of every effect and line
# Effects are synthesised at 44.1 kHz (sox's pluck needs it) and written at 22.05 kHz.
SYNTH=44100
N=(-r "$SYNTH" -c 1 -n)     # generated input

# seconds FILE: the length as the game decodes it
seconds() { stats "$1" | awk '{ print $8 }'; }

# loudness FILE: BS.1770 integrated loudness (LUFS) for 400 ms and more, else RMS in dBFS.
loudness() {
  if awk -v d="$(seconds "$1")" 'BEGIN { exit !(d >= 0.4) }'; then
    ffmpeg -nostdin -nostats -hide_banner -i "$1" -af ebur128 -f null - 2>&1 |
      awk '/^ *I:/ { i = $2 } END { print i }'
  else
    stats --rms "$1"
  fi
}

# level IN OUT TARGET: OUT is IN set to the target loudness, as 16-bit PCM. Peaks that would then
# pass PEAK_LIMIT are held down by ffmpeg's look-ahead limiter; a file the limiter left more than
# 0.3 dB short of the target is made again with the shortfall added (once). sox dithers to 16 bits.
level() {
  local in=$1 outf=$2 target=$3 gain limit short
  gain=$(awk -v t="$target" -v l="$(loudness "$in")" 'BEGIN { printf "%.2f", t - l }')
  limit=$(awk -v p="$PEAK_LIMIT" 'BEGIN { printf "%.4f", 10 ^ (p / 20) }')
  for pass in 1 2; do
    ffmpeg -nostdin -loglevel error -y -i "$in" \
      -af "volume=${gain}dB,alimiter=limit=$limit:attack=2:release=40:level=disabled" -c:a pcm_s32le level.wav
    short=$(awk -v t="$target" -v l="$(loudness level.wav)" 'BEGIN { printf "%.2f", t - l }')
    awk -v s="$short" 'BEGIN { exit !(s > 0.3) }' || break
    gain=$(awk -v g="$gain" -v s="$short" 'BEGIN { printf "%.2f", g + s }')
  done
  sox level.wav -b 16 "$outf"
}

# checks FILE's decoded peak and reports its length, loudness and peak
report() {
  local file=$1 pk secs
  pk=$(stats --peak "$file")
  secs=$(seconds "$file")
  awk -v p="$pk" 'BEGIN { exit !(p <= -1.0) }' ||
    { echo "make-sounds: $(basename "$file") peaks at $pk dBFS, above -1 dBFS" >&2; exit 1; }
  printf 'make-sounds: %-16s %6.2f s  %6s %-4s peak %6s dBFS\n' "$(basename "$file")" "$secs" \
    "$(loudness "$file")" "$(awk -v d="$secs" 'BEGIN { print (d >= 0.4 ? "LUFS" : "dBFS RMS") }')" "$pk"
}

# Writes WAV $1 as a 16-bit CAF into resources/ under the name $2 and checks that libsndfile reads it.
to_caf() {
  sndfile-convert -pcm16 "$1" "$out/$2"
  sndfile-info "$out/$2" | grep -q 'Sample Rate : 22050' || { echo "make-sounds: $2 unreadable" >&2; exit 1; }
  report "$out/$2"
}

# ---------------------------------------------------------------------------------------------
# Effects
effects() {
  cd "$work"
  # Hit: a bright pop. A fast upward chirp, its octave, and a tiny burst of noise for the attack.
  sox "${N[@]}" "${S[@]}" pop1.wav synth 0.14 sine 520-1560 fade q 0.003 0.14 0.10 vol 0.8
  sox "${N[@]}" "${S[@]}" pop2.wav synth 0.14 sine 1040-3120 fade q 0.003 0.14 0.10 vol 0.3
  sox "${N[@]}" "${S[@]}" pop3.wav synth 0.02 pinknoise fade q 0.001 0.02 0.018 vol 0.4 pad 0 0.12
  sox -m pop1.wav pop2.wav pop3.wav hit.wav norm -6
  level hit.wav hit-level.wav "$EFFECT_LEVEL"
  to_caf hit-level.wav Hit.caf

  # Miss: a low buzz. Two slightly detuned, slowly falling buzzy tones with a fast tremolo.
  sox "${N[@]}" "${S[@]}" buzz1.wav synth 0.45 sawtooth 140-105 fade q 0.01 0.45 0.15
  sox "${N[@]}" "${S[@]}" buzz2.wav synth 0.45 square 141.5-106 fade q 0.01 0.45 0.15 vol 0.5
  sox -m buzz1.wav buzz2.wav miss.wav tremolo 18 60 lowpass 1200 norm -6
  level miss.wav miss-level.wav "$EFFECT_LEVEL"
  to_caf miss-level.wav Miss.caf

  # GameOver: a descending jingle G5 E5 C5 A4, then a wobbly "wah-wah" sliding down from G4.
  local i=0 n
  for n in G5 E5 C5 A4; do
    sox "${N[@]}" "${S[@]}" jingle$i.wav synth 0.18 pluck "$n" synth 0.18 sine mix "$n" fade q 0.005 0.18 0.06
    i=$((i + 1))
  done
  sox "${N[@]}" "${S[@]}" jingle4.wav synth 0.9 triangle G4-D4 tremolo 6 40 lowpass 2500 fade q 0.01 0.9 0.4
  sox jingle0.wav jingle1.wav jingle2.wav jingle3.wav jingle4.wav gameover.wav norm -6
  level gameover.wav gameover-level.wav "$EFFECT_LEVEL"
  to_caf gameover-level.wav GameOver.caf
}

# ---------------------------------------------------------------------------------------------
# Pickup lines: resources/pickup-lines.tsv, one row a line: sound file, who says it (rooster or
# girl), the words, separated by tabs; lines starting with # are comments. The game reads the same
# table for its captions, so the words heard and the words shown are the same.
LINES_TABLE="$out/pickup-lines.tsv"

# next_line: reads the next row of the table from descriptor 3 into name (the file name without
# .caf), who, words and rate (the speaking rate festival starts with); false at the end.
next_line() {
  local file
  while IFS=$'\t' read -r file who words <&3; do
    case "$file" in '' | '#'*) continue ;; esac
    case "$who" in
      rooster | girl) ;;
      *) echo "make-sounds: $file: speaker '$who' is neither rooster nor girl" >&2; exit 1 ;;
    esac
    name=${file%.caf}
    rate=$GIRL_RATE
    [ "$who" = rooster ] && rate=$ROOSTER_RATE
    return 0
  done
  return 1
}

# list_lines: what festival is given for each line, one line each: file name, speaker, speaking
# rate and words, tab-separated (without synthesising anything).
list_lines() {
  local name who words rate
  while next_line; do
    printf '%s.caf\t%s\t%s\t%s\n' "$name" "$who" "$rate" "$words"
  done 3<"$LINES_TABLE"
}

# Both speak with festival's HTS voice cmu_us_slt_arctic_hts (festvox-us-slt-hts), a natural
# female American voice. The girl keeps it as it is. The rooster speaks 15% faster (the HTS
# engine's speaking rate) and sox shifts his voice down by four semitones, pitch and formants
# together (sox's pitch effect resamples the whole spectrum and keeps the duration).
ROOSTER_RATE=1.15
ROOSTER_PITCH=-400      # cents
GIRL_RATE=1.0
MAX_LINE=2.98           # seconds, with the short lead-in and tail; a longer line is spoken faster to fit

# say RATE TEXT: festival speaks TEXT at the HTS speaking rate RATE into raw.wav (32 kHz mono).
say() {
  printf '%s\n' "$2" >text.txt
  text2wave -eval '(voice_cmu_us_slt_arctic_hts)' \
    -eval "(set! hts_engine_params (append hts_engine_params (list (list \"-r\" $1))))" \
    text.txt -o raw.wav
}

# shape WHO: raw.wav to line.wav: the rooster shifted down; low rumble removed; silence trimmed at
# both ends (after a normalisation, so the threshold means the same for every line); short fades,
# 10 ms of silence before and 50 ms after; 22050 Hz.
shape() {
  local fx=()
  [ "$1" = rooster ] && fx=(pitch "$ROOSTER_PITCH")
  sox raw.wav -b 16 trimmed.wav gain -6 "${fx[@]}" highpass 70 norm -3 \
    silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse rate -v "$RATE"
  sox trimmed.wav "${S[@]}" line.wav fade q 0.005 "$(soxi -D trimmed.wav)" 0.03 pad 0.01 0.05
}

lines() {
  need text2wave:festival
  [ -d /usr/share/festival/voices/us/cmu_us_slt_arctic_hts ] ||
    { echo "make-sounds: missing voice; apt-get install festvox-us-slt-hts" >&2; exit 1; }
  cd "$work"
  local name who words rate len tries
  while next_line; do
    for tries in 1 2 3; do
      say "$rate" "$words"
      shape "$who"
      len=$(soxi -D line.wav)
      awk -v l="$len" -v m="$MAX_LINE" 'BEGIN { exit !(l > m) }' || break
      rate=$(awk -v r="$rate" -v l="$len" -v m="$MAX_LINE" 'BEGIN { printf "%.2f", r * l / (m - 0.03) }')
      echo "make-sounds: $name.caf runs $len s; speaking rate $rate" >&2
    done
    awk -v l="$len" -v m="$MAX_LINE" 'BEGIN { exit !(l > m) }' &&
      { echo "make-sounds: $name.caf stays longer than $MAX_LINE s" >&2; exit 1; }
    level line.wav line-level.wav "$LINE_LEVEL"
    to_caf line-level.wav "$name.caf"
  done 3<"$LINES_TABLE"
}

# ---------------------------------------------------------------------------------------------
# Music. make-music.py writes each tune's score as MIDI, played twice in a row; FluidSynth renders
# it with the FluidR3 General MIDI SoundFont (fluid-soundfont-gm), reverb on and chorus off; the
# second pass is cut out to the sample, so the reverb and the release of the notes at the end of
# the first pass sound under the start of the loop, as they do when the loop comes round.
SOUNDFONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
MUSIC_RATE=44100
MP3_ABR=96

music() {
  need fluidsynth:fluidsynth lame:lame
  [ -f "$SOUNDFONT" ] || { echo "make-sounds: missing SoundFont; apt-get install fluid-soundfont-gm" >&2; exit 1; }
  /usr/bin/python3 -c 'import mido' 2>/dev/null ||
    { echo "make-sounds: missing python3-mido; apt-get install python3-mido" >&2; exit 1; }
  cd "$work"
  local name samples
  /usr/bin/python3 "$here/make-music.py" "$work" 2 >loops.txt
  while read -r name samples; do
    fluidsynth -q -n -i -T raw -O float -E little -r "$MUSIC_RATE" -g 0.4 -o synth.chorus.active=0 \
      -o synth.reverb.active=1 -o synth.cpu-cores=1 -F "$name-2.raw" "$SOUNDFONT" "$name.mid" >/dev/null
    sox -t raw -e floating-point -b 32 -L -r "$MUSIC_RATE" -c 2 "$name-2.raw" -e float "$name-2.wav"
    if [ "$(soxi -s "$name-2.wav")" -lt $((2 * samples)) ]; then
      echo "make-sounds: $name rendered short: $(soxi -s "$name-2.wav") frames" >&2
      exit 1
    fi
    sox "$name-2.wav" -e float "$name-loop.wav" trim "${samples}s" "${samples}s"
    # the loop at the music's loudness, as 16-bit PCM
    sox "$name-loop.wav" -b 16 "$name.wav" gain "$(awk -v t="$MUSIC_LEVEL" -v l="$(loudness "$name-loop.wav")" \
      'BEGIN { printf "%.2f", t - l }')"
    # 44.1 kHz kept (at this bit rate lame would otherwise drop to 32 kHz). Average bit rate: lame writes its info tag, from which libsndfile learns the encoder's
    # lead-in and padding and drops them, so the decoded loop has exactly the rendered length.
    lame --quiet --abr "$MP3_ABR" --resample 44.1 -m j "$name.wav" "$out/$name.mp3"
    sndfile-info "$out/$name.mp3" | grep -q "Sample Rate : $MUSIC_RATE" ||
      { echo "make-sounds: $name.mp3 unreadable" >&2; exit 1; }
    local frames
    frames=$(stats "$out/$name.mp3" | awk '{ print $2 }')
    if [ "$frames" != "$samples" ]; then
      echo "make-sounds: $name.mp3 decodes to $frames frames, not $samples: it will not loop cleanly" >&2
      exit 1
    fi
    stats --seam "$out/$name.mp3" >/dev/null ||
      { echo "make-sounds: $name.mp3 jumps at the loop point: $(stats --seam "$out/$name.mp3")" >&2; exit 1; }
    report "$out/$name.mp3"
  done <loops.txt
}

[ $# -eq 0 ] && set -- effects lines music
for what in "$@"; do
  case "$what" in
    effects) effects ;;
    lines) lines ;;
    music) music ;;
    list-lines) list_lines ;;
    *) echo "usage: $0 [effects] [lines] [music] | list-lines" >&2; exit 2 ;;
  esac
done
