#!/usr/bin/env bash
# Builds the fuzzers when needed and fuzzes for a while: the workbook
# engine for SECONDS, then the direct XML parser against expat for a third
# of that (at least 10 s).
# Usage: run_fuzz.sh [SECONDS]   (default 60)
# Environment: VERS_FUZZ_BUILD_DIR (default <repo>/build-fuzz),
#              VERS_CORPUS_DIR (default <repo>/../shared/corpus).
# Exits 0 when no crash was found; otherwise non-zero, after printing the
# path of the input that crashed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
seconds=${1:-60}
build=${VERS_FUZZ_BUILD_DIR:-$top/build-fuzz}
corpus=${VERS_CORPUS_DIR:-$top/../shared/corpus}

command -v clang++ >/dev/null || { echo "run_fuzz.sh: clang++ is not installed" >&2; exit 2; }

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVERS_BUILD_FUZZ=ON -DVERS_SANITIZE=ON -DVERS_BUILD_GUI=OFF -DVERS_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 workbook_fuzzer xml_fuzzer

seeds="$build/fuzz-seeds"
found="$build/fuzz-found"        # inputs the fuzzer finds, kept between runs
artifacts="$build/fuzz-artifacts"
mkdir -p "$found" "$artifacts"
"$here/make_seeds.sh" "$seeds" "$corpus"

# fuzz NAME SECONDS SEEDS [OPTIONS...]: one fuzzer's run; a finding ends
# the script with the crashing input's path.
fuzz() {
  local name=$1 time=$2 seed_dir=$3
  shift 3
  local log="$build/$name.log" found_dir="$found/$name"
  mkdir -p "$found_dir"
  set +e
  ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$build/bin/$name" "$found_dir" "$seed_dir" \
    -max_total_time="$time" -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 "$@" \
    -artifact_prefix="$artifacts/" 2>&1 | tee "$log" | grep -v -E '^#[0-9]+'
  local status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    crash=$(grep -o 'Test unit written to .*' "$log" | tail -1 | sed 's/^Test unit written to //')
    echo "run_fuzz.sh: $name failed (exit $status); log: $log" >&2
    [ -n "$crash" ] && echo "run_fuzz.sh: crashing input: $crash" >&2
    exit 1
  fi
  echo "run_fuzz.sh: $name: no crash in $time s"
}

fuzz workbook_fuzzer "$seconds" "$seeds" -dict="$here/workbook.dict"
xml_seconds=$(( seconds / 3 > 10 ? seconds / 3 : 10 ))
fuzz xml_fuzzer "$xml_seconds" "$here/xml_seeds"
