#!/usr/bin/env bash
# A long fuzzing run of one target: JOBS plain libFuzzer processes on one shared corpus folder
# until SECONDS have passed. A process that stops early (a crash, a timeout, an out-of-memory:
# its input kept as build-fuzz/TARGET-*) is started again, so the run goes on; one process per
# worker for the whole run spares the fuzzer's fork mode, whose every job starts a process and
# replays a part of the corpus first. Prints the executions and the findings at the end.
#
#   scripts/fuzz-long.sh TARGET SECONDS JOBS [FLAGS and INPUT FOLDERS for the fuzzer...]
set -uo pipefail
cd "$(dirname "$0")/.."

target=$1 seconds=$2 jobs=$3
shift 3
binary=build-fuzz/fuzz/tessavo_fuzz_$target
corpus=build-fuzz/long/$target
logs=build-fuzz/long/logs-$target
mkdir -p "$corpus" "$logs"
rm -f "$logs"/*.log
end=$(($(date +%s) + seconds))

worker() {
    local w=$1 k=0 left
    while left=$((end - $(date +%s))) && [ "$left" -gt 0 ]; do
        k=$((k + 1))
        TZ=CST-8 "$binary" -max_total_time="$left" -print_final_stats=1 \
            -artifact_prefix="build-fuzz/$target-" "$corpus" "${@:2}" \
            > "$logs/worker$w-run$k.log" 2>&1
    done
}

for w in $(seq "$jobs"); do
    worker "$w" "$@" &
done
wait

runs=$(ls "$logs" | wc -l)
executions=$(cat "$logs"/*.log | sed -n 's/^stat::number_of_executed_units: //p' |
    awk '{n += $1} END {print n + 0}')
findings=$(grep -l -E '^==[0-9]+== ERROR|^SUMMARY: libFuzzer' "$logs"/*.log 2>/dev/null | wc -l)
echo "$target: $executions executions in $runs runs of $jobs workers; $findings runs ended on a finding (logs in $logs)"
