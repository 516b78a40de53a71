#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BIN="${PARAMICA_BUILD_DIR:-build}/bin"
echo "Paramica built in $BIN"
ls "$BIN"
