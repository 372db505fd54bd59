#!/usr/bin/env bash
# Renders the SVG sources in forms/icons/ into the PNG files the program
# embeds (forms/Tessivar.qrc). Run after changing a drawing and commit both.
set -euo pipefail
cd "$(dirname "$0")/../forms/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing (package librsvg2-bin)" >&2; exit 1; }

# Glyphs and the about-box picture are drawn at the size they are used.
for svg in folder-open page floppy play gear; do
  for size in 16 32; do
    rsvg-convert -w "$size" -h "$size" "$svg-$size.svg" -o "$svg-$size.png"
  done
done
rsvg-convert -w 32 -h 32 torch-32.svg -o torch-32.png

# The application icon in its five sizes.
for size in 256 48 32 24 16; do
  rsvg-convert -w "$size" -h "$size" tessivar.svg -o "tessivar-$size.png"
done
