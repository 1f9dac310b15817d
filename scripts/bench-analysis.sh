#!/usr/bin/env bash
# Time and peak memory of the drive analysis in tessavo-decode, on a real capture and on the
# same capture repeated (default x10 and x100, written under build/bench-analysis/):
#   --format events   decoding plus the event rules and KPIs
#   --format summary  decoding plus the summary, which includes the same analysis
#   --format csv --params rx_power   decoding with a light output, for reference
# Usage: scripts/bench-analysis.sh [BUILD_DIR] [CAPTURE] [REPEATS...]
set -euo pipefail
build=${1:-build}
capture=${2:-../shared/captures/sprint_2015.mi2log}
shift $(( $# > 2 ? 2 : $# )) || true
if [ $# -gt 0 ]; then repeats=("$@"); else repeats=(1 10 100); fi
decoder=$build/tools/tessavo-decode
if [ ! -f "$capture" ]; then
  echo "bench-analysis: $capture is absent (real captures live in ../shared/captures)" >&2
  exit 1
fi
work=$build/bench-analysis
mkdir -p "$work"
export TZ=CST-8
printf '%-8s %-26s %8s %8s %8s %12s\n' repeat run wall user system "peak RSS KB"
for n in "${repeats[@]}"; do
  input=$capture
  if [ "$n" -gt 1 ]; then
    input=$work/capture_x$n.bin
    [ -f "$input" ] || for _ in $(seq "$n"); do cat "$capture"; done > "$input"
  fi
  for run in "events" "summary" "csv --params rx_power"; do
    # shellcheck disable=SC2086
    stats=$( { /usr/bin/time -f "%e %U %S %M" "$decoder" -q --format $run "$input" > /dev/null; } 2>&1 )
    printf '%-8s %-26s %8s %8s %8s %12s\n' "x$n" "$run" $stats
  done
done
