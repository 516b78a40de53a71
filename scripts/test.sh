#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd "${PARAMICA_BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)"
