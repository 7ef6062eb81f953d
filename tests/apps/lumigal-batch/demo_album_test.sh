#!/usr/bin/env bash
# The demonstration album ./run makes without a display: a gallery (its
# index and the « Motifs » sub-album) naming no path of this machine.
set -euo pipefail
batch=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
index=$(XDG_DATA_HOME="$scratch" "$(dirname "$0")/../../../scripts/demo-album.sh" "$batch" 2>/dev/null)
album=$(dirname "$index")
fail() { echo "demo album: $*" >&2; exit 1; }
[ "$index" = "$scratch/lumigal/demo/album/index.html" ] || fail "index at $index"
[ -f "$index" ] || fail "no index"
[ -f "$album/Motifs/index.html" ] || fail "no sub-album page"
grep -q 'Motifs/index.html' "$index" || fail "the index does not lead to the sub-album"
for page in "$index" "$album/Motifs/index.html"; do
  ! grep -q -e "$scratch" -e 'file:' "$page" || fail "$page names a path of this machine"
done
echo "demo album: gallery written in $album"
