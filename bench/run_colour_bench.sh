#!/usr/bin/env bash
# Colour management: colour-bench (the viewer's conversion of a 12-megapixel
# Adobe RGB picture to sRGB, a thumbnail with and without the profile read
# and converted) beside the tools a user would otherwise convert with, on
# the same 4000 x 3000 Adobe RGB TIFF: libvips `icc_transform` and
# ImageMagick `-profile`. The peers' times include reading and writing the
# picture, so each is shown beside the same command without the
# conversion; the difference is the conversion. Best of five, wall and
# processor time (user + system).
#   run_colour_bench.sh [BUILD] [RUNS]
set -euo pipefail
build=${1:-build-bench}
runs=${2:-15}
work="${TMPDIR:-/tmp}/vemra-colour-bench"
mkdir -p "$work"
"$build/bench/colour-bench" "$work" "$runs"

best_of_5_times() {
    local best_wall="" best_cpu="" line wall cpu
    for run in 1 2 3 4 5; do
        line=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null 2>&1; } 2>&1 )
        wall=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print t[1] * 1000 }')
        cpu=$(awk -v l="$line" 'BEGIN { split(l, t, " "); print (t[2] + t[3]) * 1000 }')
        if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    done
    printf "wall %8.1f ms   processor %8.1f ms\n" "$best_wall" "$best_cpu"
}

tif="$work/adobe-12mp.tif"
if command -v vips > /dev/null; then
    printf "%-40s " "vips copy (read + write only)"; best_of_5_times vips copy "$tif" "$work/out.v"
    printf "%-40s " "vips icc_transform to sRGB"; best_of_5_times vips icc_transform "$tif" "$work/out.v" srgb --embedded
fi
if [ -x /usr/bin/convert ]; then
    printf "%-40s " "convert (read + write only)"; best_of_5_times /usr/bin/convert "$tif" "$work/out.ppm"
    printf "%-40s " "convert -profile sRGB"; best_of_5_times /usr/bin/convert "$tif" -profile "$work/srgb.icc" "$work/out.ppm"
fi
