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

# Per file the best of three: wall time and processor time (user + system).
rows=()
for file in "$pictures"/photo-*.jpg; do
    best_wall="" best_cpu=""
    for run in 1 2 3; do
        line=$( { TIMEFORMAT='%R %U %S'; time djpeg -outfile /dev/null "$file" > /dev/null 2>&1; } 2>&1 )
        wall=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print t[1] * 1000 }')
        cpu=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print (t[2] + t[3]) * 1000 }')
        if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
            best_wall=$wall
        fi
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
            best_cpu=$cpu
        fi
    done
    rows+=("$best_wall $best_cpu")
done
column() { printf '%s\n' "${rows[@]}" | awk -v c="$1" '{ print $c }' | sort -n; }
wall_median=$(column 1 | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
cpu_median=$(column 2 | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
wall_best=$(column 1 | head -1)
printf 'djpeg    median %7.2f ms wall %7.2f ms cpu, best %7.2f ms wall (%d)\n' \
    "$wall_median" "$cpu_median" "$wall_best" "${#rows[@]}"
