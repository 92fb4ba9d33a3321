#!/usr/bin/env bash
# Makes the user manual "Руководство пользователя.doc" (Word 97 format) from
# its flat OpenDocument source manual.fodt, with LibreOffice Writer. The
# output is committed, so the build never needs LibreOffice.
# Usage: docs/manual/make_manual.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile="file://$work/profile"   # a private profile: no clash with a running office

soffice --headless "-env:UserInstallation=$profile" \
  --convert-to "doc:MS Word 97" --outdir "$work" manual.fodt >/dev/null 2>&1
[ -s "$work/manual.doc" ] || { echo "LibreOffice did not write manual.doc" >&2; exit 1; }
cp "$work/manual.doc" "Руководство пользователя.doc"
echo "made Руководство пользователя.doc"
