#!/bin/sh
# Runs the scaling benchmark in a scratch folder: vemra's modes against
# Pillow and libvips on the same 4000 x 3000 picture.
# Usage: bench/run_scale_bench.sh PATH/TO/scale_bench [REPEATS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" "$work" "$here/pillow_scale_bench.py" "${2:-7}"
