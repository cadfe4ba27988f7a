#!/usr/bin/env bash
# An HTML catalog of 60 camera-size JPEG files (4000 x 3000) with JPEG
# thumbnails in 200 x 150 boxes, as `vemra-cli catalog --link 1` makes it
# (pictures decoded at reduced size, scaled, sharpened, written as JPEG,
# pages written), beside the tools a user would otherwise make the same
# thumbnails with: vipsthumbnail and ImageMagick's convert -thumbnail. The
# peers write no pages; those cost little. Best of three runs each.
#   run_catalog_bench.sh [BUILD] [COUNT]
set -euo pipefail
build=${1:-build-bench}
count=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-thumbs-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
files=("$pictures"/photo-*.jpg)
files=("${files[@]:0:$count}")
cli="$build/tools/cli/vemra-cli"
definition="$(dirname "$0")/../samples/catalogs/thumbnail-table.kpm"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

best_ms_per_picture() {
    local best="" line ms
    for run in 1 2 3; do
        rm -rf "$work/out" && mkdir "$work/out"
        line=$( { TIMEFORMAT='%R'; time "$@" > /dev/null 2>&1; } 2>&1 )
        ms=$(awk -v l="$line" -v n="$count" 'BEGIN { printf "%.2f", l * 1000 / n }')
        if [ -z "$best" ] || awk -v a="$ms" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$ms
        fi
    done
    echo "$best"
}

vemra() {
    "$cli" --settings "$work/s.ini" catalog "${files[@]}" --definition "$definition" \
        -o "$work/out" --link 1 --quality 90 --table 4x3
}
vips_all() { vipsthumbnail --size 200x150 -o "$work/out/Ve-%s.jpg[Q=90]" "${files[@]}"; }
magick_each() {
    for f in "${files[@]}"; do
        /usr/bin/convert -define jpeg:size=400x300 "$f" -thumbnail 200x150 -quality 90 \
            "$work/out/Ve-$(basename "$f")"
    done
}

uptime
ours=$(best_ms_per_picture vemra)
printf '%-52s %7s ms per picture\n' "vemra-cli catalog --link 1 (thumbnails and pages)" "$ours"
for peer in "vipsthumbnail --size 200x150|vipsthumbnail|vips_all" \
    "convert -define jpeg:size=400x300 -thumbnail|/usr/bin/convert|magick_each"; do
    IFS="|" read -r label tool run <<< "$peer"
    if ! command -v "$tool" > /dev/null 2>&1; then
        echo "$label: skipped, $tool is not installed (make bench-deps)"
        continue
    fi
    theirs=$(best_ms_per_picture "$run")
    printf '%-52s %7s ms per picture (Vemra / peer %.2fx)\n' "$label" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
done
