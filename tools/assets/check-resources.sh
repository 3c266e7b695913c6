#!/usr/bin/env bash
# Checks that resources/ holds every file the game loads, in the form the game expects:
#   pictures  8-bit RGBA PNG of the listed sizes
#   effects and pickup lines  CAF, 16-bit PCM, mono, 22050 Hz
#   music     MP3 (MPEG layer III), stereo, 44100 Hz
#   fonts.conf
# and that the folder stays within its budget of 4 MB (pictures about 1.4 MB, 0.3 MB at one pixel
# a point and the rest in their 2x and 4x variants; effects and lines about 1.4 MB, the two music
# loops about 0.7 MB at 96 kbit/s).
# Levels, lengths and loops are checked by the audio tests (ResourceSounds) and by make-sounds.sh.
# Needs: file (file), sndfile-info (sndfile-programs). Exit status 1 on the first failure list.
set -uo pipefail

res="$(cd "$(dirname "$0")/../.." && pwd)/resources"
fail=0
bad() { echo "check-resources: $*" >&2; fail=1; }

# picture : width x height (in points; Name@2x.png and Name@4x.png are two and four times that)
pictures=(
  "GameBackground:480x320" "MenuBackground:480x320" "Reset:40x40"
  "Rooster:100x100" "Girl:100x100" "YellowStar:64x64" "RedStar:64x64"
  "fire:64x64"
)
checked=0
for entry in "${pictures[@]}"; do
  base=${entry%%:*} dims=${entry#*:}
  w=${dims%x*} h=${dims#*x}
  for zoom in 1 2 4; do
    name="$base.png"
    [ "$zoom" = 1 ] || name="$base@${zoom}x.png"
    size="$((w * zoom)) x $((h * zoom))"
    checked=$((checked + 1))
    [ -f "$res/$name" ] || { bad "$name missing"; continue; }
    info=$(file -b "$res/$name")
    case "$info" in
      "PNG image data, $size, 8-bit/color RGBA"*) ;;
      *) bad "$name is \"$info\", expected a $size RGBA PNG" ;;
    esac
  done
done

# The window icon (tools/assets/make-icons.sh): one size, drawn as it is.
checked=$((checked + 1))
case "$(file -b "$res/Icon.png" 2>/dev/null)" in
  "PNG image data, 128 x 128, 8-bit/color RGBA"*) ;;
  *) bad "Icon.png missing or not a 128 x 128 RGBA PNG" ;;
esac

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
[ "$kb" -le 4096 ] || bad "resources/ is ${kb} KB, more than its budget of 4 MB"

[ $fail -eq 0 ] && echo "check-resources: all $(( checked + ${#sounds[@]} + 1 )) files fine, ${kb} KB in all"
exit $fail
