#!/usr/bin/env bash
# Makes the example workbooks from the flat OpenDocument sources in
# sources/ with LibreOffice Calc: the form with mistakes as Excel 97 .xls,
# the clean form as .ods, the unknown form as .xlsx, so that one check run
# meets every format the checker reads. The outputs are committed.
# Needs libreoffice-calc (soffice). Usage: make_examples.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile="file://$work/profile"   # a private profile: no clash with a running office

convert() {  # convert SOURCE FORMAT
  soffice --headless "-env:UserInstallation=$profile" --convert-to "$2" --outdir "$work" "sources/$1.fods" >/dev/null 2>&1
  [ -s "$work/$1.$2" ] || { echo "LibreOffice did not write $1.$2" >&2; exit 1; }
  cp "$work/$1.$2" "$1.$2"
  echo "made $1.$2"
}

convert report_0606024 xls
convert report_0609552 ods
convert report_unknown xlsx
