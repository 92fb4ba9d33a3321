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
. "$here/../tools/office_convert.sh"

convert() {  # convert SOURCE FORMAT
  office_convert "$work" "$2" "sources/$1.fods"
  cp "$work/$1.$2" "$1.$2"
  echo "made $1.$2"
}

convert report_0606024 xls
convert report_0609552 ods
convert report_unknown xlsx
