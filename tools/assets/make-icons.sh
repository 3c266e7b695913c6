#!/usr/bin/env bash
# Draws the application icon from the rooster (svg/Rooster.svg) and renders it for the desktop:
#   data/icons/hicolor/scalable/apps/<app id>.svg    the drawing, self-contained
#   data/icons/hicolor/NxN/apps/<app id>.png         N = 16 22 24 32 48 64 128 256 512
#   resources/Icon.png                               the window icon (128 x 128)
# Needs rsvg-convert (librsvg2-bin) and python3.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
app_id=org.peckish.Peckish
icons="$top/data/icons/hicolor"
svg="$icons/scalable/apps/$app_id.svg"
mkdir -p "$(dirname "$svg")"

# The rooster drawing goes in whole as a nested <svg>, so the icon needs no other file.
python3 - "$here/svg/Rooster.svg" "$svg" <<'PY'
import re, sys
rooster = open(sys.argv[1], encoding="utf-8").read()
rooster = re.sub(r"<\?xml[^>]*\?>", "", rooster)
rooster = re.sub(r"<!--.*?-->", "", rooster, flags=re.S).strip()
rooster = rooster.replace('width="100" height="100"', 'x="14" y="8" width="100" height="100"', 1)
icon = f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- Peckish's application icon, made by tools/assets/make-icons.sh from Rooster.svg: the rooster
     rising out of his hole on a patch of sky and grass. -->
<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">
  <defs>
    <linearGradient id="iconSky" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#7fc8f0"/>
      <stop offset="1" stop-color="#c9ecff"/>
    </linearGradient>
    <linearGradient id="iconGrass" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#6cbf3f"/>
      <stop offset="1" stop-color="#3e8a22"/>
    </linearGradient>
    <clipPath id="iconTile"><rect x="4" y="4" width="120" height="120" rx="22"/></clipPath>
  </defs>
  <g clip-path="url(#iconTile)">
    <rect x="4" y="4" width="120" height="120" fill="url(#iconSky)"/>
    <path d="M4 92 C36 82 92 82 124 92 L124 124 L4 124 Z" fill="url(#iconGrass)"/>
    <ellipse cx="64" cy="108" rx="44" ry="12" fill="#3b2412"/>
    <ellipse cx="64" cy="106" rx="38" ry="8" fill="#1e1208"/>
    <svg x="14" y="8" width="100" height="100" viewBox="0 0 100 100" overflow="hidden">
{rooster.split('>', 1)[1].rsplit('</svg>', 1)[0]}
    </svg>
  </g>
  <rect x="4.5" y="4.5" width="119" height="119" rx="21.5" fill="none" stroke="#2b5d18" stroke-width="1"/>
</svg>
"""
open(sys.argv[2], "w", encoding="utf-8").write(icon)
PY

for n in 16 22 24 32 48 64 128 256 512; do
  mkdir -p "$icons/${n}x${n}/apps"
  rsvg-convert --format=png --width=$n --height=$n --output="$icons/${n}x${n}/apps/$app_id.png" "$svg"
  python3 "$here/png-rgba.py" "$icons/${n}x${n}/apps/$app_id.png"
done
cp "$icons/128x128/apps/$app_id.png" "$top/resources/Icon.png"
echo "make-icons: $svg and PNGs of 16 to 512 pixels, resources/Icon.png"
