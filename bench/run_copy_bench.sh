#!/usr/bin/env bash
# Copying a folder's pictures into another folder: `vemra-cli copy` (each
# file written under a temporary name, flushed to the disk, then renamed)
# beside `cp` (no flush) and `cp` followed by `sync` (the same promise as
# ours, for the whole batch), and `rsync` (temporary names too, no flush).
# Arguments: the build folder, the number of files, their size in KiB.
set -euo pipefail
build=${1:-build-bench}
count=${2:-200}
kib=${3:-2048}
work=$(mktemp -d "${BENCH_TMP:-$PWD}/copy-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/pics"
for i in $(seq -f "%04g" 1 "$count"); do
    head -c $((kib * 1024)) /dev/urandom > "$work/pics/picture-$i.jpg"
done
sync
cli="$build/tools/cli/vemra-cli"

time_ms() { # runs "$@" after emptying the target, prints milliseconds
    rm -rf "$work/out"
    mkdir "$work/out"
    sync
    local start
    start=$(date +%s%N)
    "$@" > /dev/null
    echo $(( ($(date +%s%N) - start) / 1000000 ))
}
ours=$(time_ms "$cli" --settings "$work/s.ini" copy "$work"/pics/* "$work/out")
cp_plain=$(time_ms cp "$work"/pics/* "$work/out")
cp_sync=$(time_ms sh -c "cp '$work'/pics/* '$work/out' && sync")
if command -v rsync > /dev/null; then
    rsync_ms=$(time_ms rsync -a "$work/pics/" "$work/out/")
else
    rsync_ms="(not installed)"
fi
echo "$count files of $kib KiB on $(df --output=fstype "$work" | tail -1):"
echo "  vemra-cli copy (flushed per file): $ours ms"
echo "  cp:                                $cp_plain ms"
echo "  cp && sync:                        $cp_sync ms"
echo "  rsync -a:                          $rsync_ms ms"
