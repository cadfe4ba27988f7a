#!/usr/bin/env bash
# The PNG encoder on camera-size pictures: "画像形式を指定して保存" to PNG at
# full size (save-bench, one worker thread) beside `vips copy` and
# ImageMagick's `convert`, one process per file, one at a time. For each: the
# processor time (user + system) per picture of the whole run (process
# starts, JPEG decoding and, for Vemra, the folder scan included), the best
# of RUNS runs (default 3), and the bytes written per picture.
#   run_png_bench.sh [BUILD] [COUNT] [RUNS]
# shellcheck disable=SC2016 # the peers' commands expand "$1" and "$2" in their own shell
set -euo pipefail
build=${1:-build-bench}
count=${2:-4}
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-thumbs-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
all=("$pictures"/photo-*.jpg)
mkdir "$work/in"
for f in "${all[@]:0:$count}"; do ln -s "$f" "$work/in/"; done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export MAGICK_THREAD_LIMIT=1 VIPS_CONCURRENCY=1

# Processor time in milliseconds of the children of a shell running "$@".
cpu_ms() {
    bash -c '"$@" > /dev/null; times' _ "$@" | awk 'NR == 2 {
        split($1, u, /[ms]/); split($2, s, /[ms]/)
        printf "%.0f", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }'
}
vemra() { "$build/bench/save-bench" "$work/in" "$work/out" png 1; }
peer() { # command with "$1" the picture, "$2" the file to write
    for f in "$work/in"/*.jpg; do
        sh -c "$1" _ "$f" "$work/out/$(basename "$f" .jpg).png"
    done
}
measure() { # label command...
    local label=$1 best="" ms bytes
    shift
    for ((run = 0; run < runs; run++)); do
        rm -rf "$work/out" && mkdir "$work/out"
        ms=$(cpu_ms "$@")
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    bytes=$(cat "$work/out"/*.png | wc -c)
    awk -v l="$label" -v ms="$best" -v b="$bytes" -v n="$count" \
        'BEGIN { printf "%-28s %8.0f ms per picture %12.0f bytes per picture\n", l, ms / n, b / n }'
}

# cpu_ms runs them in a child shell.
export -f vemra peer
export build work

uptime
measure "Vemra (save-bench)" vemra
if command -v vips > /dev/null; then
    measure "vips copy" peer 'vips copy "$1" "$2"'
else
    echo "vips copy: skipped, vips is not installed (make bench-deps)"
fi
if [ -x /usr/bin/convert ]; then
    measure "convert" peer '/usr/bin/convert "$1" "$2"'
else
    echo "convert: skipped, ImageMagick is not installed (make bench-deps)"
fi
uptime
