#!/bin/bash
# The bash completion of lumigal-batch, run as bash runs it on Tab.
# usage: completion_test.sh COMPLETION_FILE LUMIGAL_BATCH SCRATCH_DIR
set -u
completion=$1 batch=$2 scratch=$3
bash_completion=/usr/share/bash-completion/bash_completion
if [ ! -r "$bash_completion" ]; then
    echo "FAIL: $bash_completion is missing (package bash-completion)"
    exit 1
fi
source "$bash_completion"
source "$completion"
PATH="$(cd "$(dirname "$batch")" && pwd):$PATH"
rm -rf "$scratch" && mkdir -p "$scratch/photos/sub" && cd "$scratch" || exit 1
touch photos/a.jpg photos/b.PNG photos/notes.txt album.html

# complete WORD... : the candidates for the last word, sorted, on one line.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _lumigal_batch lumigal-batch "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
check() {  # check "WORDS" EXPECTED
    local got
    read -ra words <<<"$1"
    [[ $1 == *' ' ]] && words+=("")
    got=$(complete_words lumigal-batch "${words[@]}")
    if [ "$got" != "$2" ]; then
        echo "FAIL: lumigal-batch $1<Tab>: got « $got », want « $2 »"
        failures=$((failures + 1))
    fi
}

check "--mo" "--mode"
check "--no-c" "--no-center"
check "--only" "--only-if-suitable"
check "--mode " "details plain thumbnails"
check "-m th" "thumbnails"
check "--format " "bmp gif jpeg png same"
check "-p " "1 2 3 4"
check "--types gif,p" "gif,png"
check "--types jpeg,a" "jpeg,avi jpeg,avif"
check "--types png,v" "png,video"
check "--thumb-dir ph" "photos"
check "-o alb" "album.html"
check "photos/" "photos/a.jpg photos/b.PNG photos/sub"
check "-t " ""

if [ "$failures" -ne 0 ]; then
    echo "$failures completion case(s) failed"
    exit 1
fi
echo "completion: 12 cases passed"
