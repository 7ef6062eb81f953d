#!/usr/bin/env bash
# Makes a demonstration album (thumbnail mode) from ImageMagick's built-in
# sample images and prints the page path.
set -euo pipefail
batch=$1
demo=${XDG_DATA_HOME:-$HOME/.local/share}/lumigal/demo
mkdir -p "$demo/images"
for name in logo rose wizard granite netscape; do
  out="$demo/images/$name"
  case $name in
    logo|wizard) out=$out.gif ;;
    rose) out=$out.jpg ;;
    granite) out=$out.png ;;
    netscape) out=$out.bmp ;;
  esac
  [ -f "$out" ] || convert "$name:" "$out"
done
"$batch" -q -m thumbnails -s 120x90 --format png --per-row 3 --border 1 \
  --thumb-dir "$demo/vignettes" -t "Album de démonstration" \
  -o "$demo/album.htm" "$demo/images" >&2
echo "$demo/album.htm"
