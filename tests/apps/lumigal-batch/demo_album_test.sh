#!/usr/bin/env bash
# The demonstration album ./run makes without a display: a gallery (its
# index and its « Photos » and « Dessins » albums) naming no path of this machine.
set -euo pipefail
batch=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
index=$(XDG_DATA_HOME="$scratch" "$(dirname "$0")/../../../scripts/demo-album.sh" "$batch" 2>/dev/null)
album=$(dirname "$index")
fail() { echo "demo album: $*" >&2; exit 1; }
[ "$index" = "$scratch/lumigal/demo/galerie/index.html" ] || fail "index at $index"
[ -f "$index" ] || fail "no index"
for sub in Photos Dessins; do
  [ -f "$album/$sub/index.html" ] || fail "no page of the album $sub"
  grep -q "$sub/index.html" "$index" || fail "the index does not lead to $sub"
done
grep -q 'Les images de démonstration dessinées' "$album/Dessins/index.html" || fail "album.txt not read"
for page in "$index" "$album/Photos/index.html" "$album/Dessins/index.html"; do
  ! grep -q -e "$scratch" -e 'file:' "$page" || fail "$page names a path of this machine"
done
echo "demo album: gallery written in $album"
