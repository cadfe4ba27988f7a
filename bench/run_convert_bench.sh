#!/usr/bin/env bash
# Batch conversion of 60 camera-size JPEG files (4000 x 3000) to 1000 x 750
# JPEG quality 90 with the automatic scaling method: `vemra-cli convert`
# (decoded at the largest DCT reduction that leaves the size, scaled,
# encoded) beside the tools a user would otherwise script it with:
# vipsthumbnail and ImageMagick's convert -resize (as users call it, and with
# the jpeg:size hint that lets it decode reduced too). First everybody on
# one thread, then two files at a time (-j 2; the peers through xargs -P 2).
# Wall time of the best of five runs, process starts included.
#   run_convert_bench.sh [BUILD] [COUNT]
set -euo pipefail
build=${1:-build-bench}
count=${2:-60}
here=$(dirname "$0")
. "$here/best_of_5.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-thumbs-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
files=("$pictures"/photo-*.jpg)
files=("${files[@]:0:$count}")
cli="$build/tools/cli/vemra-cli"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

fresh() { rm -rf "$work/out" && mkdir "$work/out"; }
vemra() { # threads [format [files...]]
    fresh
    local j=$1 format=${2:-jpeg}
    shift $(($# < 2 ? $# : 2))
    local inputs=("$@")
    [ ${#inputs[@]} -gt 0 ] || inputs=("${files[@]}")
    "$cli" --settings "$work/s.ini" convert "${inputs[@]}" -d "$work/out" --size 1000x750 \
        --scale-mode 10 --quality 90 --same 1 -j "$j" --format "$format"
}
vips() { # processes
    fresh
    printf '%s\0' "${files[@]}" | VIPS_CONCURRENCY=1 xargs -0 -P "$1" -n $(((count + $1 - 1) / $1)) \
        vipsthumbnail --size 1000x750 -o "$work/out/%s.jpg[Q=90]"
}
magick() { # processes
    fresh
    printf '%s\0' "${files[@]}" | MAGICK_THREAD_LIMIT=1 xargs -0 -P "$1" -I{} \
        sh -c '/usr/bin/convert "$1" -resize 1000x750 -quality 90 "$2/$(basename "$1")"' _ {} "$work/out"
}
magick_hint() { # processes
    fresh
    printf '%s\0' "${files[@]}" | MAGICK_THREAD_LIMIT=1 xargs -0 -P "$1" -I{} \
        sh -c '/usr/bin/convert -define jpeg:size=2000x1500 "$1" -resize 1000x750 -quality 90 "$2/$(basename "$1")"' _ {} "$work/out"
}

per_picture() { awk -v us="$1" -v n="$count" 'BEGIN { printf "%.1f", us / 1000 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

uptime
declare -A ours
for j in 1 2; do
    ours[$j]=$(best_of_5 vemra "$j")
    printf '%-56s %7s ms per picture\n' "vemra-cli convert -j $j" "$(per_picture "${ours[$j]}")"
done
echo "  -j 2 / -j 1: $(ratio "${ours[2]}" "${ours[1]}")x"
for peer in "vipsthumbnail --size 1000x750|vipsthumbnail|vips" \
    "convert -resize 1000x750|/usr/bin/convert|magick" \
    "convert -define jpeg:size=2000x1500 -resize 1000x750|/usr/bin/convert|magick_hint"; do
    IFS="|" read -r label tool run <<< "$peer"
    if ! command -v "$tool" > /dev/null 2>&1; then
        echo "$label: skipped, $tool is not installed (make bench-deps)"
        continue
    fi
    for j in 1 2; do
        theirs=$(best_of_5 "$run" "$j")
        printf '%-56s %7s ms per picture (Vemra / peer %sx)\n' "$label, $j at a time" \
            "$(per_picture "$theirs")" "$(ratio "${ours[$j]}" "$theirs")"
    done
done

# The same pictures tagged Adobe RGB (an APP2 "ICC_PROFILE" marker put after
# SOI, the pixels untouched): JPEG output carries the profile on (one
# metadata read per file, the marker written), BMP output is converted to
# sRGB (1000 x 750 pixels through lcms2) beside the untagged BMP output.
tagged="$work/tagged"
mkdir -p "$tagged"
python3 - "$here/../fuzz/seeds/colour_profile/adobe.icc" "$tagged" "${files[@]}" <<'PY'
import sys, os, struct
icc = open(sys.argv[1], 'rb').read()
app2 = b'\xff\xe2' + struct.pack('>H', 2 + 14 + len(icc)) + b'ICC_PROFILE\x00\x01\x01' + icc
for f in sys.argv[3:]:
    data = open(f, 'rb').read()
    open(os.path.join(sys.argv[2], os.path.basename(f)), 'wb').write(data[:2] + app2 + data[2:])
PY
tagged_files=("$tagged"/photo-*.jpg)
echo "With and without an embedded Adobe RGB profile, -j 1:"
for format in jpeg bmp; do
    plain=$(best_of_5 vemra 1 "$format")
    with=$(best_of_5 vemra 1 "$format" "${tagged_files[@]}")
    printf '%-56s %7s ms per picture, tagged %s ms (%sx)\n' "vemra-cli convert --format $format" \
        "$(per_picture "$plain")" "$(per_picture "$with")" "$(ratio "$with" "$plain")"
done
