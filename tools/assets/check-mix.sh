#!/usr/bin/env bash
# Listens to what the game sends to the speakers: runs a game with the autoplay bot in real time
# (no --fixed-dt) for SECONDS (default 20), with OpenAL Soft writing its output to a wave file
# (drivers = wave) as 32-bit float with its output limiter off, so a mix that passes full scale
# shows as samples above 1.0 instead of being squeezed or clipped. Prints the peak and fails when
# it reaches full scale (0 dBFS).
#   check-mix.sh [SECONDS]
# Environment: PECKISH (the game binary, default build/peckish of this checkout); KEEP=FILE keeps
# the recorded wave file there.
# Needs: a built peckish, python3 and libsndfile1 (sound-stats.py), coreutils' timeout.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
game=${PECKISH:-$root/build/peckish}
seconds=${1:-20}
[ -x "$game" ] || { echo "check-mix: no game at $game (build it, or set PECKISH)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/alsoft.conf" <<EOF
[general]
drivers = wave
output-limiter = false
sample-type = float32
channels = stereo

[wave]
file = $work/mix.wav
EOF

# The game's own window is not needed; SDL's offscreen driver draws the frames. Interrupting it
# is the window being closed: the game ends normally and OpenAL finishes the wave file.
status=0
ALSOFT_CONF="$work/alsoft.conf" ALSOFT_DRIVERS= PECKISH_RESOURCES="$root/resources" \
  PECKISH_DATA_DIR="$work/data" timeout --signal=INT --kill-after=10 "$seconds" \
  "$game" --headless --play --autoplay --seed 1 >"$work/game.log" 2>&1 || status=$?
# 124: stopped by the time limit, as meant
if [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; then
  echo "check-mix: the game failed (status $status):" >&2
  cat "$work/game.log" >&2
  exit 1
fi
[ -s "$work/mix.wav" ] || { echo "check-mix: OpenAL wrote no wave file" >&2; cat "$work/game.log" >&2; exit 1; }
[ -n "${KEEP:-}" ] && cp "$work/mix.wav" "$KEEP"

peak=$(/usr/bin/python3 "$here/sound-stats.py" --float-peak "$work/mix.wav")
length=$(/usr/bin/python3 "$here/sound-stats.py" "$work/mix.wav" | awk '{ print $8 }')
echo "check-mix: $length s of autoplay, peak $peak dBFS"
awk -v p="$peak" 'BEGIN { exit !(p < 0) }' || { echo "check-mix: the mix reaches full scale" >&2; exit 1; }
