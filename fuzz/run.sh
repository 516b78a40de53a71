#!/usr/bin/env bash
# Builds the fuzz targets with clang (library instrumented, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a while on a corpus of its
# own, grown from seeds that reach deep. Fails on any crash, leak or report.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-30}
BUILD_DIR=${PARAMICA_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPARAMICA_BUILD_FUZZ=ON -DPARAMICA_BUILD_TESTS=OFF -DPARAMICA_BUILD_TOOLS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" \
  --target fuzz_xml_reader fuzz_modbus_answer fuzz_parameter_file fuzz_item_codec fuzz_ndef >/dev/null

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Seeds written as hex lines (comments start with #) become one file each.
seed_hex() {
  local corpus=$1 number=0 line
  mkdir -p "$corpus"
  while read -r line; do
    line=${line%%#*}
    line=${line// /}
    [ -n "$line" ] || continue
    printf '%b' "$(echo "$line" | sed 's/../\\x&/g')" >"$corpus/seed$((number += 1))"
  done
}

# The description reader's two modes grow corpora of their own from the sample
# descriptions (its target reads every input sealed as well, so the checking
# mode gets past the check bytes); --no-xml-check also gets the translations.
mkdir -p "$WORK/xml-check" "$WORK/xml-no-check"
cp share/xml/*.xml "$WORK/xml-check"/
cp share/xml/*.xml share/xml/translations/*.xml "$WORK/xml-no-check"/
seed_hex "$WORK/modbus-answer" <fuzz/seeds/modbus_answer.hex
seed_hex "$WORK/item-codec" <fuzz/seeds/item_codec.hex
seed_hex "$WORK/ndef" <fuzz/seeds/ndef.hex
mkdir -p "$WORK/parameter-file"
cp fuzz/seeds/parameter_file.xml "$WORK/parameter-file"/

# Qt's offscreen platform plug-in is not used here; any leak is ours.
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
run() {
  local target=$1 corpus=$2
  echo "== $target on $(basename "$corpus") for ${SECONDS_PER_TARGET}s"
  set +e
  "$BUILD_DIR/bin/$target" -max_total_time="$SECONDS_PER_TARGET" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$BUILD_DIR/" "$corpus" >"$WORK/log" 2>&1
  local status=$?
  set -e
  tail -5 "$WORK/log"
  if [ "$status" -ne 0 ]; then
    cat "$WORK/log" >&2
    echo "fuzzing found a failure in $target (exit $status)" >&2
    exit "$status"
  fi
}
run fuzz_xml_reader "$WORK/xml-check"
FUZZ_NO_XML_CHECK=1 run fuzz_xml_reader "$WORK/xml-no-check"
run fuzz_modbus_answer "$WORK/modbus-answer"
run fuzz_parameter_file "$WORK/parameter-file"
run fuzz_item_codec "$WORK/item-codec"
run fuzz_ndef "$WORK/ndef"
echo "fuzzing: no failure"
