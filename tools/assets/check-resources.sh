#!/usr/bin/env bash
# Checks that resources/ holds every file the game loads, in the form the game expects:
# PNG pictures of the listed sizes with an alpha channel, sounds libsndfile reads as 22050 Hz
# mono, the font rules, and a folder of a few megabytes at most.
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

[ $fail -eq 0 ] && echo "check-resources: all $(( ${#pictures[@]} + ${#sounds[@]} + 1 )) files fine, ${kb} KB in all"
exit $fail
