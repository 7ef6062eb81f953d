#!/usr/bin/env bash
# Makes a demonstration album from ImageMagick's built-in sample images: a
# modern gallery, one album per folder (here the index and its « Motifs »
# sub-album, each with its copies and thumbnails beside its pages, relative
# links, no path of this machine in them), and prints the index's path.
set -euo pipefail
batch=$1
demo=${XDG_DATA_HOME:-$HOME/.local/share}/lumigal/demo
mkdir -p "$demo/images/Motifs"
for name in logo rose wizard granite netscape; do
  out="$demo/images/$name"
  case $name in granite|netscape) out="$demo/images/Motifs/$name" ;; esac
  case $name in
    logo|wizard) out=$out.gif ;;
    rose) out=$out.jpg ;;
    granite) out=$out.png ;;
    netscape) out=$out.bmp ;;
  esac
  [ -f "$out" ] || convert "$name:" "$out"
done
mkdir -p "$demo/album"
"$batch" -q --gallery -t "Album de démonstration" -o "$demo/album/index.html" "$demo/images" >&2
echo "Album de démonstration (dossier à copier tel quel) : $demo/album" >&2
echo "$demo/album/index.html"
