#!/usr/bin/env bash
# Printing and the wallpaper on camera-size JPEG files (4000 x 3000).
# Printing: COUNT pictures one a page (no definition) and four a page
# (samples/print/four-a-page.dps) into a PDF with `vemra-cli print --pdf`,
# beside img2pdf putting the same pictures on A4 pages, one a page (it
# embeds the JPEG files as they are; ImageMagick's convert is not asked,
# as Debian's policy forbids it to write PDF). The wallpaper: one picture
# brightened and fitted to 1920 x 1080 as a BMP with `vemra-cli wallpaper
# --dry-run`, beside convert -modulate -resize. Best of three runs each.
#   run_print_bench.sh [BUILD] [COUNT]
set -euo pipefail
build=${1:-build-bench}
count=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures="${VEMRA_BENCH_PICTURES:-${TMPDIR:-/tmp}/vemra-thumbs-bench}"
echo "Writing $count pictures of 4000 x 3000 into $pictures (kept for the next run)"
"$build/bench/thumbs-bench-pictures" "$pictures" "$count"
files=("$pictures"/photo-*.jpg)
files=("${files[@]:0:$count}")
cli="$build/tools/cli/vemra-cli"
definition="$(dirname "$0")/../samples/print/four-a-page.dps"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_DATA_HOME="$work/data"

best_ms() {
    local per=$1 best="" line ms
    shift
    for run in 1 2 3; do
        line=$( { TIMEFORMAT='%R'; time "$@" > /dev/null 2>&1; } 2>&1 )
        ms=$(awk -v l="$line" -v n="$per" 'BEGIN { printf "%.1f", l * 1000 / n }')
        if [ -z "$best" ] || awk -v a="$ms" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$ms
        fi
    done
    echo "$best"
}

one_a_page() { "$cli" --settings "$work/s.ini" print "${files[@]}" --pdf "$work/one.pdf"; }
four_a_page() {
    "$cli" --settings "$work/s.ini" print "${files[@]}" --definition "$definition" \
        --pdf "$work/four.pdf"
}
img2pdf_pages() { img2pdf --pagesize A4 --fit into "${files[@]}" -o "$work/img2pdf.pdf"; }
wallpaper() {
    "$cli" --settings "$work/s.ini" wallpaper "${files[0]}" --mode 3 --bright 30 \
        --screen 1920x1080 --dry-run
}
magick_wallpaper() {
    /usr/bin/convert "${files[0]}" -modulate 130 -resize 1920x1080 "BMP3:$work/wall.bmp"
}

uptime
one=$(best_ms "$count" one_a_page)
four=$(best_ms "$count" four_a_page)
printf '%-48s %8s ms per picture (PDF %s bytes)\n' "vemra-cli print --pdf, one a page" "$one" \
    "$(stat -c %s "$work/one.pdf")"
printf '%-48s %8s ms per picture (PDF %s bytes)\n' "vemra-cli print --pdf, four-a-page.dps" \
    "$four" "$(stat -c %s "$work/four.pdf")"
if command -v img2pdf > /dev/null 2>&1; then
    theirs=$(best_ms "$count" img2pdf_pages)
    printf '%-48s %8s ms per picture (PDF %s bytes; one a page / peer %.2fx)\n' \
        "img2pdf --pagesize A4 --fit into" "$theirs" "$(stat -c %s "$work/img2pdf.pdf")" \
        "$(awk -v a="$one" -v b="$theirs" 'BEGIN { print a / b }')"
else
    echo "img2pdf: skipped, it is not installed (make bench-deps)"
fi
ours=$(best_ms 1 wallpaper)
printf '%-48s %8s ms\n' "vemra-cli wallpaper --mode 3 --bright 30" "$ours"
if [ -x /usr/bin/convert ]; then
    theirs=$(best_ms 1 magick_wallpaper)
    printf '%-48s %8s ms (Vemra / peer %.2fx)\n' "convert -modulate 130 -resize 1920x1080" \
        "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
fi
