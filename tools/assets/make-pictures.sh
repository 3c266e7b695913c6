#!/usr/bin/env bash
# Renders the game's pictures from the SVG drawings in svg/ into resources/.
# Needs rsvg-convert (librsvg2-bin), python3 and the Comic Neue font (fonts-comic-neue) for the
# menu title. Each picture is rendered at its own drawing size (width x height of the SVG) as an
# 8-bit RGBA PNG (opaque pictures too: see png-rgba.py).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="$(cd "$here/../.." && pwd)/resources"
mkdir -p "$out"

# name of the PNG in resources/ : SVG drawing
pictures=(
  GameBackground
  MenuBackground
  Reset
  Rooster
  Girl
  YellowStar
  RedStar
  fire
)

cd "$here/svg"   # the menu drawing embeds Rooster.svg and Girl.svg by relative path
for name in "${pictures[@]}"; do
  rsvg-convert --format=png --output="$out/$name.png" "$name.svg"
  python3 "$here/png-rgba.py" "$out/$name.png"
  size=$(file -b "$out/$name.png" | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p')
  echo "make-pictures: $name.png ($size)"
done
