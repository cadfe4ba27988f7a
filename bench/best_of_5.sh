# Sourced by the benchmark scripts: best_of_5 COMMAND... prints the shortest
# wall time of five runs of COMMAND in microseconds, process start included;
# best_of N COMMAND... the same over N runs.
best_of() {
    local n=$1 best="" start us
    shift
    for ((run = 0; run < n; run++)); do
        start=$(date +%s%N)
        "$@" > /dev/null
        us=$(( ($(date +%s%N) - start) / 1000 ))
        if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
    done
    echo "$best"
}
best_of_5() {
    best_of 5 "$@"
}
