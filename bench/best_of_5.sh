# Sourced by the benchmark scripts: best_of_5 COMMAND... prints the shortest
# wall time of five runs of COMMAND in microseconds, process start included.
best_of_5() {
    local best="" start us
    for run in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$@" > /dev/null
        us=$(( ($(date +%s%N) - start) / 1000 ))
        if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
    done
    echo "$best"
}
