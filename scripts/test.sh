#!/usr/bin/env bash
# Installs what is missing, builds everything, runs the whole test suite and a
# short fuzz run of the description reader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
status=0
(cd "${PARAMICA_BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)") || status=$?
bash fuzz/run.sh 30 || status=$?
exit "$status"
