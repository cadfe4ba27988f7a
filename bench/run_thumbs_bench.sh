#!/usr/bin/env bash
# Thumbnails of 60 camera-size JPEG files (4000 x 3000) into 110 x 110 cells:
# `vemra-cli thumbs` (decoded at 1/8 by DCT scaling, scaled, sharpened, stored
# in the cache, the cache file written) beside vipsthumbnail, ImageMagick and
# the floor `djpeg -scale 1/8` on the same files, then the second opening,
# where every thumbnail comes from the cache. Each tool's best of three runs.
#   run_thumbs_bench.sh [BUILD] [COUNT]
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
settings="$work/settings.ini"
printf '[KPDoc]\nThumbsSize=110,110\nCacheFolder=1\nCacheDataFolder=\n' > "$settings"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# Best of three runs of "$@": wall time and processor time (user + system,
# children included) in milliseconds per picture. Other work on the machine
# stretches the wall time; the processor time stays comparable.
best_per_picture() {
    local best_wall="" best_cpu="" line wall cpu
    for run in 1 2 3; do
        line=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null 2>&1; } 2>&1 )
        wall=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print t[1] * 1000 }')
        cpu=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print (t[2] + t[3]) * 1000 }')
        if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
            best_wall=$wall
        fi
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
            best_cpu=$cpu
        fi
    done
    awk -v w="$best_wall" -v c="$best_cpu" -v n="$count" 'BEGIN { printf "%.2f %.2f", w / n, c / n }'
}
report() {
    local wall cpu
    read -r wall cpu <<< "$2"
    printf '%-56s %7s ms wall %7s ms cpu per picture\n' "$1" "$wall" "$cpu"
}
ratio() {
    awk -v a="$2" -v b="$ours" -v l="$1" 'BEGIN {
        split(a, p, " "); split(b, o, " ");
        printf "    Vemra / %s: %.2fx wall, %.2fx cpu\n", l, o[1] / p[1], o[2] / p[2] }'
}

folder="$work/pictures"
mkdir "$folder"
for f in "${files[@]}"; do ln -s "$f" "$folder/"; done
fresh_vemra() { rm -f "$folder/_THUMBS_.KPI"; "$cli" thumbs "$folder" --settings "$settings" "$@"; }
fresh_one() { fresh_vemra -j 1; }
fresh_two() { fresh_vemra -j 2; }
uptime
one=$(best_per_picture fresh_one)
report "vemra-cli thumbs -j 1 (made, sharpened, stored)" "$one"
ours=$(best_per_picture fresh_two)
inner=$(fresh_two 2>/dev/null)
report "vemra-cli thumbs -j 2 (made, sharpened, stored)" "$ours"
echo "    its own line: $inner"
awk -v a="$one" -v b="$ours" 'BEGIN { split(a, p, " "); split(b, o, " ");
    printf "    -j 1 / -j 2: %.2fx wall\n", p[1] / o[1] }'
echo "    in-process 1/8 decode of one of the files (x $count for the floor):"
"$build/bench/vemra-jpeg-bench" "${files[0]}" | sed "s/^/    /"
again=$(best_per_picture "$cli" thumbs "$folder" --settings "$settings")
inner=$("$cli" thumbs "$folder" --settings "$settings" 2>/dev/null)
report "vemra-cli thumbs again (all loaded from the cache)" "$again"
echo "    its own line: $inner"

peer() {
    local label=$1 tool=$2
    shift 2
    if ! command -v "$tool" > /dev/null 2>&1; then
        echo "$label: skipped, $tool is not installed (make bench-deps)"
        return
    fi
    local times
    times=$(best_per_picture "$@")
    report "$label" "$times"
    ratio "$tool" "$times"
}
out="$work/out"
mkdir "$out"
vips_all() { vipsthumbnail --size 110x110 -o "$out/%s-vips.jpg" "${files[@]}"; }
magick_each() {
    for f in "${files[@]}"; do
        /usr/bin/convert -define jpeg:size=220x220 "$f" -thumbnail 110x110 "$out/$(basename "$f" .jpg)-im.jpg"
    done
}
djpeg_each() { for f in "${files[@]}"; do djpeg -scale 1/8 "$f" > /dev/null; done; }
peer "vipsthumbnail --size 110x110 (one process, all files)" vipsthumbnail vips_all
vips_pairs() {
    printf '%s\n' "${files[@]}" |
        xargs -P 2 -n 1 vipsthumbnail --size 110x110 -o "$out/%s-vips2.jpg"
}
peer "vipsthumbnail, two files at a time (xargs -P 2)" vipsthumbnail vips_pairs
peer "convert -define jpeg:size=220x220 -thumbnail 110x110" /usr/bin/convert magick_each
peer "djpeg -scale 1/8 (decode only, the floor)" djpeg djpeg_each
