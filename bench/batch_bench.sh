#!/usr/bin/env bash
# Measures vers-check on a batch of workbooks against the same run written
# in Python with python3-xlrd (batch_xlrd_check.py):
#   - documents per second, goal: at least 20 times the script's;
#   - peak memory (/usr/bin/time -v), goal: no growth with the number of
#     documents (a batch of 50 against one of 200 with the same mix).
# The batch mixes the 5 MB benchmark form (forms/big_form.xls) with the
# smaller example and fixture forms; the two reports must agree but for the
# date and time lines.
# Usage: batch_bench.sh [COUNT]   (default 200)
# Environment: VERS_BENCH_BUILD_DIR (default <repo>/build-bench)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=${VERS_BENCH_BUILD_DIR:-$top/build-bench}
count=${1:-200}
py=/usr/bin/python3
big="$here/forms/big_form.xls"
[ -f "$big" ] || { echo "batch_bench.sh: $big is missing; make it with tools/make_bench_form.py" >&2; exit 2; }

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVERS_BUILD_BENCH=ON -DVERS_BUILD_GUI=OFF -DVERS_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 vers-check >/dev/null
check="$build/bin/vers-check"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One big form in ten, the rest small ones of every outcome.
small=("$top/examples/report_0606024.xls" "$top/tests/fixtures/form_known_clean.xls"
       "$top/tests/fixtures/form_known_errors.xls" "$top/tests/fixtures/form_unknown_code.xls")
make_batch() {  # make_batch DIR N
  mkdir -p "$1"
  for ((i = 0; i < $2; i++)); do
    if ((i % 10 == 0)); then src=$big; else src=${small[$((i % ${#small[@]}))]}; fi
    cp "$src" "$1/$(printf 'doc_%03d' "$i").xls"
  done
}
make_batch "$work/docs" "$count"
make_batch "$work/docs50" 50
bytes=$(du -sb "$work/docs" | cut -f1)

measure() {  # measure NAME COMMAND... : prints wall seconds, CPU seconds and peak KiB
  /usr/bin/time -v -o "$work/$1.time" "${@:2}" >/dev/null 2>&1 || true
  local wall user sys rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$1.time")
  user=$(sed -n 's/.*User time (seconds): //p' "$work/$1.time")
  sys=$(sed -n 's/.*System time (seconds): //p' "$work/$1.time")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$1.time")
  echo "$wall" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.3f ", s }'
  echo "$user $sys" | awk '{ printf "%.3f ", $1 + $2 }'
  echo "$rss"
}

# Warm the page cache so that both read from memory.
cat "$work"/docs/*.xls >/dev/null

read -r vers_s vers_cpu vers_kb < <(measure vers env LC_ALL=ru_RU.UTF-8 "$check" --report "$work/vers.txt" "$work"/docs/*.xls)
read -r vers50_s vers50_cpu vers50_kb < <(measure vers50 env LC_ALL=ru_RU.UTF-8 "$check" --report "$work/vers50.txt" "$work"/docs50/*.xls)
read -r py_s py_cpu py_kb < <(measure xlrd "$py" "$here/batch_xlrd_check.py" "$work/xlrd.txt" "$work"/docs/*.xls)

mask() { iconv -f WINDOWS-1251 -t UTF-8 "$1" | sed -e 's/^Дата: .*/Дата:/' -e 's/^Проверка завершена: .*/Проверка завершена:/'; }
if cmp -s <(mask "$work/vers.txt") <(mask "$work/xlrd.txt"); then
  agree="yes"
else
  agree="NO"
  diff <(mask "$work/xlrd.txt") <(mask "$work/vers.txt") | head -20
fi

awk -v n="$count" -v mb="$bytes" -v vs="$vers_s" -v vk="$vers_kb" -v v5k="$vers50_kb" -v v5s="$vers50_s" \
    -v ps="$py_s" -v pk="$py_kb" -v vc="$vers_cpu" -v pc="$py_cpu" -v agree="$agree" 'BEGIN {
  printf "batch: %d workbooks, %.1f MB (one in ten the 5 MB form)\n", n, mb / 1e6
  printf "%-26s %10s %12s %12s %14s\n", "", "seconds", "CPU seconds", "docs/second", "peak RSS (MB)"
  printf "%-26s %10.3f %12.3f %12.1f %14.1f\n", "vers-check", vs, vc, n / vs, vk / 1024
  printf "%-26s %10.3f %12s %12.1f %14.1f\n", "vers-check, 50 documents", v5s, "", 50 / v5s, v5k / 1024
  printf "%-26s %10.3f %12.3f %12.1f %14.1f\n", "python3-xlrd script", ps, pc, n / ps, pk / 1024
  printf "throughput: %.1f times the script by the clock, %.1f by CPU time (goal: 20)\n", ps / vs, pc / vc
  printf "memory: %.1f MB for 200 against %.1f MB for 50 (goal: no growth)\n", vk / 1024, v5k / 1024
  printf "reports agree but for the date and time lines: %s\n", agree
}'
[ "$agree" = yes ]
