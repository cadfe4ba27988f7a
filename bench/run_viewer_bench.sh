#!/usr/bin/env bash
# Stepping through 12-megapixel JPEG files in the viewer (viewer-bench: the
# step to a picture not decoded before, and to one the look-ahead decoded in
# idle time) beside the plain libjpeg-turbo decode of the same files
# (`djpeg`, best of three per file, the process start included).
#   run_viewer_bench.sh [BUILD] [COUNT]
set -euo pipefail
build=${1:-build-bench}
count=${2:-13}
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-viewer-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/viewer-bench" "$pictures" $((count - 1))

times=()
for file in "$pictures"/photo-*.jpg; do
    best=""
    for run in 1 2 3; do
        line=$( { TIMEFORMAT='%R'; time djpeg -outfile /dev/null "$file" > /dev/null 2>&1; } 2>&1 )
        ms=$(awk -v l="$line" 'BEGIN { print l * 1000 }')
        if [ -z "$best" ] || awk -v a="$ms" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$ms
        fi
    done
    times+=("$best")
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END {
    printf "djpeg    median %7.2f ms  best %7.2f ms  (%d files)\n", t[int((NR + 1) / 2)], t[1], NR }'
