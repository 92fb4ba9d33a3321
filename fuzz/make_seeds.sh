#!/usr/bin/env bash
# Fills a folder with the fuzzer's seed inputs: the repo's own workbook
# fixtures and, when it stands beside the checkout, the third-party corpus.
# Both are copied at run time, so no corpus file ever enters the repo.
# Usage: make_seeds.sh OUT_DIR [CORPUS_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
out=${1:?usage: make_seeds.sh OUT_DIR [CORPUS_DIR]}
corpus=${2:-$top/../shared/corpus}

mkdir -p "$out"
count=0
shopt -s nullglob
for f in "$top"/tests/fixtures/*.xls "$top"/tests/fixtures/*.ods "$top"/tests/fixtures/*.xlsx; do
  cp -f "$f" "$out/fixture-$(basename "$f")"
  count=$((count + 1))
done
if [ -d "$corpus" ]; then
  while IFS= read -r -d '' f; do
    case "$f" in *.md|*.txt) continue ;; esac
    rel=${f#"$corpus"/}
    cp -f "$f" "$out/corpus-${rel//\//_}"
    chmod u+w "$out/corpus-${rel//\//_}"
    count=$((count + 1))
  done < <(find "$corpus" -type f -print0)
fi
echo "$count seeds in $out"
