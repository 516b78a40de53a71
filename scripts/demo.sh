#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job: a
# simulated controller on this machine, found and read through the library by
# the command-line front end over Modbus TCP.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BIN="$(pwd)/${PARAMICA_BUILD_DIR:-build}/bin"

SIM_LOG=$(mktemp)
"$BIN/paramica-devsim" --port 0 >"$SIM_LOG" 2>&1 &
SIM_PID=$!
trap 'kill $SIM_PID 2>/dev/null; wait $SIM_PID 2>/dev/null; rm -f "$SIM_LOG"' EXIT

# The simulator prints the port it listens on.
for _ in $(seq 50); do
  grep -q "listening on" "$SIM_LOG" && break
  sleep 0.1
done
ENDPOINT=$(grep -o "listening on [0-9.]*:[0-9]*" "$SIM_LOG" | awk '{print $3}')
echo "Simulator listening on $ENDPOINT"

echo "== paramica scan --tcp $ENDPOINT"
"$BIN/paramica" scan --tcp "$ENDPOINT"
