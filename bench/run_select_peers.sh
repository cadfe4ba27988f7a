#!/usr/bin/env bash
# The shell's tools on the file operations that `browse-bench select` times:
# the first SELECTED pictures of the folder it filled (SCRATCH/pictures)
# moved into another folder with `mv` and sent to the trash with
# `gio trash` (the trash under SCRATCH, as the bench's), each timed, then
# put back so the bench's folder is whole again.
#   run_select_peers.sh SCRATCH [SELECTED]
# Run `browse-bench select SCRATCH` first (it makes the pictures).
set -euo pipefail
scratch=$(realpath "${1:?usage: run_select_peers.sh SCRATCH [SELECTED]}")
selected=${2:-10000}
pictures="$scratch/pictures"
moved="$scratch/peer-moved"
[ -d "$pictures" ] || { echo "no $pictures: run browse-bench select first" >&2; exit 1; }
export XDG_DATA_HOME="$scratch/data"
mkdir -p "$XDG_DATA_HOME"
names() { seq -f 'p%06.0f.jpg' 0 $((selected - 1)); }
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }

rm -rf "$moved"
mkdir -p "$moved"
cd "$pictures"
# The bench's delete leaves these gone: hard links of its picture again.
names | while read -r name; do
    [ -e "$name" ] || ln "$scratch/original.jpg.0" "$name"
done
start=$(date +%s.%N)
names | xargs mv -t "$moved"
echo "mv of $selected files into another folder: $(seconds "$start") s"
cd "$moved"
names | xargs mv -t "$pictures"

cd "$pictures"
start=$(date +%s.%N)
names | xargs gio trash
echo "gio trash of $selected files: $(seconds "$start") s"
# Back from the trash (its own files, not the user's).
mv "$XDG_DATA_HOME/Trash/files/"p*.jpg "$pictures/" 2> /dev/null ||
    find "$XDG_DATA_HOME/Trash/files" -name 'p*.jpg' -exec mv -t "$pictures" {} +
rm -rf "$XDG_DATA_HOME/Trash"
