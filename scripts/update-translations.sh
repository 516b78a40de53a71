#!/usr/bin/env bash
# Scans the library's sources for translatable texts into the translation
# files (default: the shipped share/translations/paramica_*.ts); new texts
# come in unfinished, texts gone from the code are dropped. Then add the
# translations (Qt Linguist, or by hand) and rebuild.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt5/bin/lupdate)}
[ $# -gt 0 ] || set -- "$root"/share/translations/paramica_*.ts
cd "$root"
"$lupdate" -silent -no-obsolete -locations none -I . backend interfaces protocol items xml models files -ts "$@"
