# bench/common.sh - what the benchmark scripts share, sourced by each: the
# defaults, the options they all take (-b -c -n -w -h), the program check,
# the scratch folder and the corpus (made there on first use).
#
# A script sets its own defaults, defines `script_option ARG [VALUE]` for its
# own options (it sets TAKEN to the number of arguments it used; 0: not
# one of its options), sources this file, then calls `bench_start "$@"`.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$BENCH_DIR/.." && pwd)
TOOLS=${BENCH_TOOLS:-$REPO/../shared/bench}
PROG=$REPO/build/apps/lumigal-batch/lumigal-batch
WORK=${TMPDIR:-/tmp}/lumigal-bench
CORPUS=""
ROUNDS=3

bench_start() {
  while [ $# -gt 0 ]; do
    case "$1" in
      -b) PROG=$2; shift 2 ;;
      -c) CORPUS=$2; shift 2 ;;
      -n) ROUNDS=$2; shift 2 ;;
      -w) WORK=$2; shift 2 ;;
      -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
      *)
        TAKEN=0
        script_option "$@"
        [ "$TAKEN" -gt 0 ] || { echo "unknown argument: $1" >&2; exit 2; }
        shift "$TAKEN" ;;
    esac
  done
  [ -x "$PROG" ] || { echo "no program at $PROG (build it first, or name it with -b)" >&2; exit 1; }
  PROG=$(cd "$(dirname "$PROG")" && pwd)/$(basename "$PROG")
  mkdir -p "$WORK"
  WORK=$(cd "$WORK" && pwd)
  CORPUS=${CORPUS:-$WORK/corpus}
  if [ ! -d "$CORPUS/photos" ]; then
    echo "== making the corpus in $CORPUS"
    "$TOOLS/make-corpus.sh" "$CORPUS"
  fi
  CORPUS=$(cd "$CORPUS" && pwd)
}
