#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build, each for a number of seconds, on a
# corpus seeded from samples/, the conformance suites beside the project
# (when present) and fuzz/seeds/. A crash, a hang of more than 5 s or more
# than 2 GB of memory stops that target; its input is kept under
# BUILD/findings/ and the script fails at the end.
#   fuzz/run_fuzzers.sh BUILD SECONDS [TARGET...]
# FUZZ_TIMEOUT is the seconds one input may take (5); on a busy machine give more.
# FUZZ_SEED fixes libFuzzer's random seed (0, the default, picks one).
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
shift 2 || true
root=$(cd "$(dirname "$0")/.." && pwd)
testdata=$root/../shared/testdata
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets <"$build/fuzz/targets.txt"
fi

# The file kinds a target reads, as find(1) name patterns.
patterns_of() {
    case $1 in
    fuzz_bmp_decoder | fuzz_bmp_reader) echo "*.bmp *.rle *.dib" ;;
    fuzz_jpeg_decoder | fuzz_jpeg_steps) echo "*.jpg *.jpeg" ;;
    fuzz_photo_metadata) echo "*orientation*.jpg *exif*.jpg *.tif *.webp *.heic *.avif" ;;
    fuzz_png_decoder) echo "*.png" ;;
    fuzz_colour_profile) echo "*.icc *.icm *.jpg *.png *.tif *.webp" ;;
    fuzz_tiff_decoder) echo "*.tif *.tiff" ;;
    fuzz_gif_decoder | fuzz_gif2_decoder) echo "*.gif" ;;
    fuzz_text_decoder) echo "*.txt" ;;
    fuzz_catalog_definition) echo "*.kpm" ;;
    fuzz_print_definition) echo "*.dps" ;;
    fuzz_webp_plugin) echo "*.webp" ;;
    fuzz_heif_plugin) echo "*.heic *.heif *.avif" ;;
    fuzz_archive_plugin) echo "*.zip *.7z *.lzh *.tar *.tgz *.cab" ;;
    *) echo "" ;;
    esac
}

seed() {
    local target=$1 corpus=$2 pattern
    mkdir -p "$corpus"
    for pattern in $(patterns_of "$target"); do
        for dir in "$root/samples" "$testdata"; do
            [ -d "$dir" ] || continue
            find "$dir" -type f -iname "$pattern" -size -1024k -print0 |
                while IFS= read -r -d '' f; do
                    cp "$f" "$corpus/$(echo "$f" | md5sum | cut -c1-16)-$(basename "$f")"
                done
        done
    done
    local own=$root/fuzz/seeds/${target#fuzz_}
    [ -d "$own" ] && cp "$own"/* "$corpus"/ 2>/dev/null
    return 0
}

# Leaks inside libraries we only call (fontconfig's caches) are theirs.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp"
failed=()
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    exe=$build/fuzz/$target
    [ -x "$exe" ] || { echo "missing $exe"; failed+=("$target"); continue; }
    corpus=$build/corpus/$target
    seed "$target" "$corpus"
    echo "== $target: $(ls "$corpus" | wc -l) seeds, ${seconds}s"
    if ! "$exe" -max_total_time="$seconds" -seed="${FUZZ_SEED:-0}" -timeout="${FUZZ_TIMEOUT:-5}" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$corpus" >"$build/findings/$target.log" 2>&1; then
        echo "!! $target found a fault; see $build/findings/$target.log"
        tail -n 40 "$build/findings/$target.log"
        failed+=("$target")
    else
        grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build/findings/$target.log" | tr '\n' ' '
        echo
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "fuzzing: no findings in ${#targets[@]} targets"
