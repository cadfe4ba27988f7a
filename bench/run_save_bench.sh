#!/usr/bin/env bash
# "画像形式を指定して保存" as the browser runs it (save-bench: the folder
# opened in the document, every picture selected, saved on the document's
# worker threads) on 60 camera-size JPEG files (4000 x 3000): to PNG at their
# size, and to JPEG fitted into 1000 x 750 (quality 90, the automatic
# method). One worker thread, then two, beside vips / vipsthumbnail and
# ImageMagick's convert, one process per file, one at a time and through
# xargs -P 2. Wall time, process starts included: the best of RUNS runs
# (default 3; PNG, which takes seconds a picture, once, on the first
# PNG_COUNT pictures).
#   run_save_bench.sh [BUILD] [COUNT] [RUNS] [PNG_COUNT]
set -euo pipefail
build=${1:-build-bench}
count=${2:-60}
runs=${3:-3}
png_count=${4:-$count}
here=$(dirname "$0")
. "$here/best_of_5.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-thumbs-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
# The document reads a whole folder: each set of pictures gets one.
all=("$pictures"/photo-*.jpg)
mkdir "$work/jpeg" "$work/png"
for f in "${all[@]:0:$count}"; do ln -s "$f" "$work/jpeg/"; done
for f in "${all[@]:0:$png_count}"; do ln -s "$f" "$work/png/"; done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

fresh() { rm -rf "$work/out" && mkdir "$work/out"; }
vemra() {
    fresh
    "$build/bench/save-bench" "$work/$1" "$work/out" "$@"
}
each() { # processes command (with "$1" the picture, "$2" the folder to write)
    local p=$1
    shift
    fresh
    printf '%s\0' "$work/$batch"/photo-*.jpg | MAGICK_THREAD_LIMIT=1 VIPS_CONCURRENCY=1 \
        xargs -0 -P "$p" -I{} sh -c "$*" _ {} "$work/out"
}
per_picture() { awk -v us="$1" -v n="$(ls "$work/$batch" | wc -l)" 'BEGIN { printf "%.1f", us / 1000 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

report() { # format size runs peers...
    local format=$1 size=$2 n=$3
    batch=$format
    shift 3
    declare -A ours
    for j in 1 2; do
        ours[$j]=$(best_of "$n" vemra "$format" "$j" $size)
        printf '%-50s %8s ms per picture\n' "Vemra $format${size:+ $size}, $j thread(s)" \
            "$(per_picture "${ours[$j]}")"
    done
    echo "  two threads / one: $(ratio "${ours[2]}" "${ours[1]}")x   ($(uptime | sed 's/.*load/load/'))"
    for peer in "$@"; do
        IFS="|" read -r label tool command <<< "$peer"
        if ! command -v "$tool" > /dev/null 2>&1; then
            echo "$label: skipped, $tool is not installed (make bench-deps)"
            continue
        fi
        for j in 1 2; do
            theirs=$(best_of "$n" each "$j" "$command")
            printf '%-50s %8s ms per picture (Vemra / peer %sx)\n' "$label, $j at a time" \
                "$(per_picture "$theirs")" "$(ratio "${ours[$j]}" "$theirs")"
        done
    done
}

uptime
report jpeg 1000x750 "$runs" \
    'vipsthumbnail --size 1000x750|vipsthumbnail|vipsthumbnail --size 1000x750 -o "$2/%s.jpg[Q=90]" "$1"' \
    'convert -resize 1000x750|/usr/bin/convert|/usr/bin/convert "$1" -resize 1000x750 -quality 90 "$2/$(basename "$1")"'
report png "" 1 \
    'vips copy|vips|vips copy "$1" "$2/$(basename "$1" .jpg).png"' \
    'convert|/usr/bin/convert|/usr/bin/convert "$1" "$2/$(basename "$1" .jpg).png"'
uptime
