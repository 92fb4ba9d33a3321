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
. "$here/../../tools/office_convert.sh"

office_convert "$work" "doc:MS Word 97" manual.fodt
cp "$work/manual.doc" "Руководство пользователя.doc"
echo "made Руководство пользователя.doc"
