#!/usr/bin/env bash
# Renders the pictures' PNG sizes from their SVG drawings (ImageMagick).
# The PNGs are kept in the tree and compiled into the program through
# ../lumigal_art.qrc; run this after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
render() {
  local name=$1
  shift
  for size in "$@"; do
    convert -background none -density 600 "$name.svg" -resize "${size}x${size}" "PNG32:$name-$size.png"
  done
}
render folder 16 32
render colour-pie 16 32
render page-grid 32 64
render program-icon 32 48 64 128 256
render ok-sign 47 94
