# Sourced by the scripts that make files with LibreOffice.
#
# office_convert WORK_DIR FORMAT SOURCE...
#   Converts every source into WORK_DIR with soffice, under a private profile
#   kept in WORK_DIR (so an office the user has open is not disturbed), and
#   fails, naming the file, when LibreOffice did not write one of them.
#   FORMAT is soffice's --convert-to argument ("xls", "doc:MS Word 97").
office_convert() {
  local work=$1 format=$2
  shift 2
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to "$format" \
    --outdir "$work" "$@" >/dev/null 2>&1 || true
  local extension=${format%%:*} source name
  for source in "$@"; do
    name=$(basename "${source%.*}").$extension
    [ -s "$work/$name" ] || { echo "LibreOffice did not write $name" >&2; return 1; }
  done
}
