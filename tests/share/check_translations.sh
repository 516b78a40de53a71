#!/usr/bin/env bash
# Lists the library's texts that a shipped translation lacks and fails on any:
# the sources are scanned again into a copy of each translation, so a text
# added to the code shows up here before anyone ships it untranslated.
set -euo pipefail
source_dir=$1
lupdate=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for shipped in "$source_dir"/share/translations/paramica_*.ts; do
  copy="$work/$(basename "$shipped")"
  cp "$shipped" "$copy"
  LUPDATE=$lupdate "$source_dir/scripts/update-translations.sh" "$copy"
  missing=$(awk '
    /<name>/ { sub(/.*<name>/, ""); sub(/<\/name>.*/, ""); context = $0 }
    /<source>/ { source = $0; collecting = ($0 !~ /<\/source>/) ; next }
    collecting { source = source "\\n" $0; if ($0 ~ /<\/source>/) collecting = 0; next }
    /<translation type="unfinished"|<translation><\/translation>|<translation\/>/ {
      gsub(/^ *<source>|<\/source> *$/, "", source); print context ": " source }
  ' "$copy")
  if [ -n "$missing" ]; then
    echo "$(basename "$shipped") has no translation of:"
    echo "$missing"
    status=1
  else
    echo "$(basename "$shipped"): every text of the library is translated."
  fi
done
exit $status
