#!/usr/bin/env bash
# Runs every fuzz target (or those named) for FUZZ_SECONDS of CPU time each (default 1800), one at a
# time, from its corpus in fuzz/corpus/<what>. CPU time, not wall time, is what is counted: on a busy
# machine a target runs in slices until it has had its share, so "30 CPU-minutes" means that.
# Inputs that reach new code are merged back into that corpus, so a long run leaves the
# repository's corpora richer; a failure stops with the input kept. Appends one line per target
# (CPU and wall time, executions, coverage edges, features) to build/fuzz/fuzz-long-report.txt.
set -euo pipefail
TIMEFORMAT='%U %S'
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    echo "usage: FUZZ_SECONDS=CPU_SECONDS scripts/fuzz-long.sh [fuzz_target...]   (after: cmake --build --preset fuzz)"
    exit 0
fi
seconds="${FUZZ_SECONDS:-1800}"
case "$seconds" in
'' | *[!0-9]*)
    echo "fuzz-long: FUZZ_SECONDS must be a whole number of seconds, not \"$seconds\"" >&2
    exit 2
    ;;
esac
if [ $# -gt 0 ]; then
    targets="$*"
else
    targets=$(find build/fuzz/bin -maxdepth 1 -name 'fuzz_*' -type f -perm -u+x -printf '%f\n' | sort)
fi
if [ -z "$targets" ]; then
    echo "fuzz-long: no fuzz targets in build/fuzz/bin" >&2
    exit 1
fi
work=$(mktemp -d)
report=build/fuzz/fuzz-long-report.txt
echo "# $(date -u '+%Y-%m-%d %H:%M') FUZZ_SECONDS=$seconds" >>"$report"
for name in $targets; do
    bin="build/fuzz/bin/$name"
    [ -x "$bin" ] || { echo "fuzz-long: no such target $name" >&2; exit 1; }
    corpus="fuzz/corpus/${name#fuzz_}"
    mkdir -p "$corpus" "$work/$name"
    echo "== $name ($seconds CPU s)"
    cpu=0
    runs=0
    started=$(date +%s)
    while [ "$cpu" -lt "$seconds" ]; do
        slice=$((seconds - cpu))
        [ "$slice" -gt 600 ] && slice=600
        if ! { time "$bin" -max_total_time="$slice" -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$work/" "$work/$name" "$corpus" >"$work/$name.log" 2>&1; } 2>"$work/$name.cpu"; then
            tail -n 60 "$work/$name.log"
            echo "$name found a failure; the input is in $work (kept)" >&2
            exit 1
        fi
        used=$(awk '{ printf "%d", $1 + $2 + 0.5 }' "$work/$name.cpu")
        # A slice that used no CPU at all would loop forever.
        [ "$used" -gt 0 ] || used=1
        cpu=$((cpu + used))
        slice_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log" | tail -n 1)
        runs=$((runs + ${slice_runs:-0}))
        echo "   $cpu / $seconds CPU s"
    done
    wall=$(($(date +%s) - started))
    # Only what adds coverage joins the repository's corpus.
    "$bin" -merge=1 "$corpus" "$work/$name" >"$work/$name.merge.log" 2>&1
    cov=$(grep -o 'cov: [0-9]*' "$work/$name.log" | tail -n 1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$work/$name.log" | tail -n 1 | cut -d' ' -f2)
    line="$name: $cpu CPU s ($wall s wall), $runs executions, coverage ${cov:-0} edges, ${ft:-0} features, corpus $(find "$corpus" -type f | wc -l) inputs"
    echo "$line" | tee -a "$report"
done
rm -rf "$work"
echo "fuzz-long: report in $report"
