#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (in build-sanitize), then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
status=0

echo "== test suite"
scripts/build.sh
(cd "${PARAMICA_BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)") || status=$?

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
PARAMICA_BUILD_DIR=build-sanitize scripts/build.sh -DCMAKE_BUILD_TYPE=Debug -DPARAMICA_SANITIZE=ON
# Full stacks, so that the one suppression matches only Qt's offscreen plug-in.
(cd build-sanitize &&
  ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="fast_unwind_on_malloc=0:print_suppressions=0:suppressions=$PWD/../tests/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)") || status=$?

echo "== fuzzing"
bash fuzz/run.sh 30 || status=$?
exit "$status"
