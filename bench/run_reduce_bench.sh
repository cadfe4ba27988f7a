#!/usr/bin/env bash
# Colour reduction of a 4000 x 3000 picture to 256 colours: Vemra beside
# ImageMagick's Floyd-Steinberg reduction of the same file.
set -euo pipefail
build=${1:-build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/reduce-bench" "$work/photo.bmp" | tee "$work/vemra.txt"
ours=$(grep -o '[0-9]* ms' "$work/vemra.txt" | grep -o '[0-9]*')
best=""
for run in 1 2 3; do
    start=$(date +%s%N)
    /usr/bin/convert "$work/photo.bmp" -dither FloydSteinberg -colors 256 "$work/im.png"
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
done
echo "ImageMagick convert -dither FloydSteinberg -colors 256: $best ms (best of 3)"
awk -v a="$best" -v b="$ours" 'BEGIN { printf "ImageMagick / Vemra: %.2fx\n", a / b }'
