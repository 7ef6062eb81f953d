#!/usr/bin/env bash
# Makes a demonstration gallery from ImageMagick's built-in sample images,
# one album per folder (« Photos », « Dessins »), the way a user's folders
# of photos become one: modern, portable (copies and thumbnails inside it,
# relative links, no path of this machine in it). Prints the index's path.
set -euo pipefail
batch=$1
demo=${XDG_DATA_HOME:-$HOME/.local/share}/lumigal/demo
for entry in Photos/rose.jpg Photos/granite.png Dessins/logo.gif Dessins/wizard.gif Dessins/netscape.bmp; do
  out="$demo/dossiers/$entry"
  mkdir -p "$(dirname "$out")"
  name=$(basename "${entry%.*}")
  [ -f "$out" ] || convert "$name:" "$out"
done
[ -f "$demo/dossiers/Dessins/album.txt" ] ||
  printf 'titre: Dessins\ndescription: Les images de démonstration dessinées\n' > "$demo/dossiers/Dessins/album.txt"
mkdir -p "$demo/galerie"
"$batch" -q --gallery -t "Galerie de démonstration" -o "$demo/galerie/index.html" "$demo/dossiers" >&2
echo "Galerie de démonstration (dossier à copier tel quel) : $demo/galerie" >&2
echo "$demo/galerie/index.html"
