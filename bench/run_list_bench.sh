#!/usr/bin/env bash
# The details list on 100,000 files: building its rows, sorting them by name
# and by date, its first and last screen; beside `sort -f` on the same names
# and `sort -n` on the same times (C.UTF-8: byte order with case folding; the
# program's order is Japanese collation).
set -euo pipefail
build=${1:-build-bench}
count=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/list-bench" "$work" "$count" | tee "$work/vemra.txt"

. "$(dirname "$0")/best_of_5.sh"
names=$(LC_ALL=C.UTF-8 best_of_5 sort -f "$work/names.txt")
times=$(LC_ALL=C.UTF-8 best_of_5 sort -n "$work/times.txt")
awk -v us="$names" 'BEGIN { printf "sort -f (names): %.1f ms (best of 5, with process start)\n", us / 1000 }'
awk -v us="$times" 'BEGIN { printf "sort -n (times): %.1f ms (best of 5, with process start)\n", us / 1000 }'
