#!/usr/bin/env bash
# Makes a demonstration album from ImageMagick's built-in sample images: a
# modern, portable page (its copies and thumbnails beside it, relative links,
# no path of this machine in it), and prints the page path.
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
mkdir -p "$demo/album"
"$batch" -q --style modern --portable -m thumbnails -t "Album de démonstration" \
  -o "$demo/album/index.htm" "$demo/images" >&2
echo "Album de démonstration (dossier à copier tel quel) : $demo/album" >&2
echo "$demo/album/index.htm"
