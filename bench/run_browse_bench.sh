#!/usr/bin/env bash
# Browsing through the whole program (browse-bench, offscreen): the first
# screen of a folder of 2000 camera-size JPEG files (4000 x 3000) without a
# thumbnail cache beside `djpeg -scale 1/8` on the same visible pictures, the
# delay of key presses while the background stage makes thumbnails, the first
# screen again with the folder's cache file, and the memory of a folder of
# 10,000 entries. Each measurement RUNS times (default 3).
#   run_browse_bench.sh [BUILD] [RUNS]
# BUILD is build-bench unless given. The pictures are written once into
# BUILD/bench-data (8.1 GB and 15 to 25 minutes for the camera folder) and
# kept for the next run; the camera folder also keeps the cache file
# "_THUMBS_.KPI" the `cache` step writes.
set -euo pipefail
build=${1:-build-bench}
runs=${2:-3}
data="${VEMRA_BENCH_DATA:-$build/bench-data}"
camera="$data/camera-2000"
small="$data/small-10000"
pictures="$build/bench/thumbs-bench-pictures"
bench="$build/bench/browse-bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$work"

echo "Writing 2000 pictures of 4000 x 3000 into $camera (once, kept)"
"$pictures" "$camera" 2000 4000x3000
echo "Writing 10000 pictures of 640 x 480 into $small (once, kept)"
"$pictures" "$small" 10000 640x480

# The offscreen platform's notes about window hints are not ours to show.
quiet() { "$@" 2> >(grep -v 'propagateSizeHints' >&2); }

djpeg_visible() {
    if ! command -v djpeg > /dev/null 2>&1; then
        echo "  djpeg -scale 1/8: skipped, djpeg is not installed (make bench-deps)"
        return
    fi
    local count line
    count=$(wc -l < "$1")
    line=$( { TIMEFORMAT='%R %U %S'; time while IFS= read -r f; do
        djpeg -scale 1/8 -bmp -outfile /dev/null "$f"; done < "$1"; } 2>&1 )
    awk -v l="$line" -v n="$count" 'BEGIN { split(l, t, " ");
        printf "  djpeg -scale 1/8 on the %d visible pictures (a process each): %.1f ms wall, %.1f ms cpu (%.2f ms each)\n",
            n, t[1] * 1000, (t[2] + t[3]) * 1000, t[1] * 1000 / n }'
}

uptime
for run in $(seq "$runs"); do
    echo "=== first screen without a cache, keys during stage 3: run $run of $runs"
    quiet "$bench" first "$camera" --presses 150 --visible-list "$work/visible.txt"
    djpeg_visible "$work/visible.txt"
done
if [ ! -f "$camera/_THUMBS_.KPI" ]; then
    echo "=== making and storing every thumbnail of $camera (once)"
    quiet "$bench" cache "$camera"
fi
for run in $(seq "$runs"); do
    echo "=== first screen with the cache: run $run of $runs"
    quiet "$bench" reopen "$camera"
done
for run in $(seq "$runs"); do
    echo "=== memory of 10,000 entries: run $run of $runs"
    quiet "$bench" rss "$small"
done
uptime
