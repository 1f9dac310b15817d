#!/usr/bin/env bash
# The live capture demo: tessavo-sim replays the bundled sample at ten times its own pace on a
# pseudo-terminal, tessavo-capture records and decodes it for 20 s with the live view, and
# tessavo-decode then decodes the recording.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
out=$build/demo
sample=${DEMO_SAMPLE:-samples/drive_test.bin}
mkdir -p "$out"
"$build/tools/tessavo-sim/tessavo-sim" "$sample" --pty --speed 10 > "$out/sim.txt" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q serving "$out/sim.txt" && break; sleep 0.1; done
port=$(sed -n 's/.*serving //p' "$out/sim.txt")
"$build/tools/tessavo-capture/tessavo-capture" --serial "$port" --live --duration 20 --force \
  -w "$out/live.qmdl" --format jsonl -o "$out/live.jsonl"
echo
echo "Recorded $out/live.qmdl ($(wc -c < "$out/live.qmdl") bytes), decoded live into $out/live.jsonl;"
echo "the recording decoded again:"
"$build/tools/tessavo-decode" -q --format summary "$out/live.qmdl"
