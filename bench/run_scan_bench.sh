#!/usr/bin/env bash
# Scanning a folder of 20,000 files without decoding: the folder document's
# scan beside `find FOLDER -maxdepth 1 -type f` on the same folder, and beside
# find printing each file's size and time, which needs the one status call per
# file that the scan needs too (plain -type f gets by with the folder listing).
set -euo pipefail
build=${1:-build-bench}
count=${2:-20000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pics"
(cd "$work/pics" && seq -f "picture-%05g.jpg" 1 "$count" | xargs touch)
"$build/bench/scan-bench" "$work/pics" | tee "$work/vemra.txt"
ours=$(grep -o '[0-9.]* ms' "$work/vemra.txt" | grep -o '[0-9.]*')

. "$(dirname "$0")/best_of_5.sh"
plain=$(best_of_5 find "$work/pics" -maxdepth 1 -type f)
stat=$(best_of_5 find "$work/pics" -maxdepth 1 -type f -printf '%s %T@\n')
awk -v us="$plain" -v ours="$ours" 'BEGIN {
    printf "find -maxdepth 1 -type f: %.1f ms (best of 5, with process start); Vemra / find: %.2fx\n", us / 1000, ours / (us / 1000) }'
awk -v us="$stat" -v ours="$ours" 'BEGIN {
    printf "find ... -printf %%s %%T@: %.1f ms (best of 5, with process start); Vemra / find: %.2fx\n", us / 1000, ours / (us / 1000) }'
