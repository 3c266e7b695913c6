#!/usr/bin/env bash
# Renders the game's pictures from the SVG drawings in svg/ into resources/.
# Needs rsvg-convert (librsvg2-bin), python3 and the Comic Neue font (fonts-comic-neue) for the
# menu title. Each picture is rendered at its own drawing size (width x height of the SVG, one
# pixel a point) and at twice and four times that size for high-resolution displays (Name@2x.png,
# Name@4x.png; the game picks the variant that fits its content scale), each as an 8-bit RGBA PNG
# (opaque pictures too: see png-rgba.py).
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
  for zoom in 1 2 4; do
    file="$name.png"
    [ "$zoom" = 1 ] || file="$name@${zoom}x.png"
    rsvg-convert --format=png --zoom="$zoom" --output="$out/$file" "$name.svg"
    python3 "$here/png-rgba.py" "$out/$file"
    size=$(file -b "$out/$file" | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p')
    echo "make-pictures: $file ($size)"
  done
done
