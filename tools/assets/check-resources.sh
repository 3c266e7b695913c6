#!/usr/bin/env bash
# Checks that resources/ holds every file the game loads, in the form the game expects:
# PNG pictures of the listed sizes with an alpha channel, sounds libsndfile reads as 22050 Hz
# mono, the font rules, and a folder of a few megabytes at most.
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

sounds=(Hit.caf Miss.caf GameOver.caf
  Biscuts.caf DonkeyKong.caf DontUsually.caf FellFrom.caf Holla.caf LikeThis.caf Milk.caf
  Mirror.caf NeedIt.caf NotLike.caf Running.caf Snickers.caf Terrorist.caf WantIt.caf
  MenuMusic.mp3 GameMusic.mp3)
for name in "${sounds[@]}"; do
  [ -f "$res/$name" ] || { bad "$name missing"; continue; }
  info=$(sndfile-info "$res/$name" 2>&1)
  grep -q 'Sample Rate : 22050' <<<"$info" || bad "$name: libsndfile does not read it as 22050 Hz"
  grep -q 'Channels    : 1' <<<"$info" || bad "$name: not mono"
done

[ -f "$res/fonts.conf" ] || bad "fonts.conf missing"

kb=$(du -sk "$res" | cut -f1)
[ "$kb" -le 4096 ] || bad "resources/ is ${kb} KB, more than 4 MB"

[ $fail -eq 0 ] && echo "check-resources: all $(( checked + ${#sounds[@]} + 1 )) files fine, ${kb} KB in all"
exit $fail
