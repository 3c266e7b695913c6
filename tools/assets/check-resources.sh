#!/usr/bin/env bash
# Checks that resources/ holds every file the game loads, in the form the game expects:
#   pictures  8-bit RGBA PNG of the listed sizes
#   effects and pickup lines  CAF, 16-bit PCM, mono, 22050 Hz
#   music     MP3 (MPEG layer III), stereo, 44100 Hz
#   fonts.conf
# and that the folder stays within its budget of 3 MB (pictures about 0.3 MB, effects and lines
# about 1.4 MB, the two music loops about 0.7 MB at 96 kbit/s).
# Levels, lengths and loops are checked by the audio tests (ResourceSounds) and by make-sounds.sh.
# Needs: file (file), sndfile-info (sndfile-programs). Exit status 1 on the first failure list.
set -uo pipefail

res="$(cd "$(dirname "$0")/../.." && pwd)/resources"
fail=0
bad() { echo "check-resources: $*" >&2; fail=1; }

# picture : width x height
pictures=(
  "GameBackground.png:480 x 320" "MenuBackground.png:480 x 320" "Reset.png:40 x 40"
  "Rooster.png:100 x 100" "Girl.png:100 x 100" "YellowStar.png:64 x 64" "RedStar.png:64 x 64"
  "fire.png:64 x 64" "Icon.png:128 x 128"
)
for entry in "${pictures[@]}"; do
  name=${entry%%:*} size=${entry#*:}
  [ -f "$res/$name" ] || { bad "$name missing"; continue; }
  info=$(file -b "$res/$name")
  case "$info" in
    "PNG image data, $size, 8-bit/color RGBA"*) ;;
    *) bad "$name is \"$info\", expected a $size RGBA PNG" ;;
  esac
done

# sound : libsndfile format code (major | subtype), sample rate, channels
caf="0x00180002 22050 1"   # CAF, 16-bit PCM, mono
mp3="0x00230082 44100 2"   # MPEG layer III, stereo
sounds=()
for name in Hit GameOver Miss Biscuts DonkeyKong DontUsually FellFrom Holla LikeThis Milk Mirror NeedIt \
            NotLike Running Snickers Terrorist WantIt; do
  sounds+=("$name.caf:$caf")
done
sounds+=("MenuMusic.mp3:$mp3" "GameMusic.mp3:$mp3")
for entry in "${sounds[@]}"; do
  name=${entry%%:*}
  read -r format rate channels <<<"${entry#*:}"
  [ -f "$res/$name" ] || { bad "$name missing"; continue; }
  info=$(sndfile-info "$res/$name" 2>&1)
  grep -q "Format      : $format" <<<"$info" || bad "$name: libsndfile does not read it as format $format"
  grep -q "Sample Rate : $rate\$" <<<"$info" || bad "$name: not $rate Hz"
  grep -q "Channels    : $channels\$" <<<"$info" || bad "$name: not $channels channel(s)"
done

[ -f "$res/fonts.conf" ] || bad "fonts.conf missing"

kb=$(du -sk "$res" | cut -f1)
[ "$kb" -le 3072 ] || bad "resources/ is ${kb} KB, more than its budget of 3 MB"

[ $fail -eq 0 ] && echo "check-resources: all $(( ${#pictures[@]} + ${#sounds[@]} + 1 )) files fine, ${kb} KB in all"
exit $fail
