#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job: a
# simulated controller on this machine, identified, read, saved, printed,
# recorded and given new firmware through the library by the command-line
# front end over Modbus TCP.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BUILD_DIR=$(realpath -m "${PARAMICA_BUILD_DIR:-build}")
BIN="$BUILD_DIR/bin"
OUT="$BUILD_DIR/demo"
mkdir -p "$OUT"

SIM_LOG=$(mktemp)
"$BIN/paramica-devsim" --port 0 >"$SIM_LOG" 2>&1 &
SIM_PID=$!
trap 'kill $SIM_PID 2>/dev/null || true; wait $SIM_PID 2>/dev/null || true; rm -f "$SIM_LOG"' EXIT

# The simulator prints the port it listens on.
for _ in $(seq 50); do
  grep -q "listening on" "$SIM_LOG" && break
  sleep 0.1
done
ENDPOINT=$(grep -o "listening on [0-9.]*:[0-9]*" "$SIM_LOG" | awk '{print $3}')
echo "Simulator listening on $ENDPOINT"

TCP=(--tcp "$ENDPOINT")
run() {
  echo
  echo "== paramica $*"
  "$BIN/paramica" "$@" "${TCP[@]}"
}
run identify
run show Parameter
run save "$OUT/parameters.xml"
run print "$OUT/parameters.pdf"
run record "$OUT/process-values.csv" --seconds 10
run firmware
run update
run scan

kill "$SIM_PID"
wait "$SIM_PID" 2>/dev/null || true
echo
echo "Simulator stopped. The files are in $OUT:"
ls -l "$OUT"
