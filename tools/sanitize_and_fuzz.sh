#!/usr/bin/env bash
# Runs every test under AddressSanitizer and UndefinedBehaviorSanitizer, then,
# when clang is installed, fuzzes the workbook engine for a while.
# Usage: sanitize_and_fuzz.sh [FUZZ_SECONDS]   (default 60; 0 skips fuzzing)
# Environment: VERS_ASAN_BUILD_DIR (default <repo>/build-asan).
# Exits non-zero when the build fails, a test fails or the fuzzer finds a
# crash.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
asan=${VERS_ASAN_BUILD_DIR:-$top/build-asan}
jobs=$(nproc)

# One tree serves both: with clang it holds the fuzzer too (its libraries carry
# libFuzzer's coverage hooks, which the tests do not mind), so the engine is
# compiled under the sanitizers once.
config=(-DVERS_SANITIZE=ON -DVERS_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release
        "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -g1")
if [ "$seconds" -ne 0 ] && command -v clang++ >/dev/null; then
  config+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVERS_BUILD_FUZZ=ON)
fi
echo "== tests under the sanitizers ($asan)"
cmake -S "$top" -B "$asan" -G Ninja "${config[@]}" >/dev/null
cmake --build "$asan" -j "$jobs"
# A leak, an overflow or undefined behaviour fails the test that met it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# A hang fails its test instead of the whole job's time.
ctest --test-dir "$asan" --output-on-failure -j "$jobs" --timeout 300

if [ "$seconds" -eq 0 ]; then
  echo "== fuzzing skipped"
  exit 0
fi
if ! command -v clang++ >/dev/null; then
  echo "== fuzzing skipped: clang++ is not installed"
  exit 0
fi
echo "== fuzzing the workbook engine for $seconds s, then the XML parser"
unset ASAN_OPTIONS UBSAN_OPTIONS   # the fuzzer sets its own
VERS_FUZZ_BUILD_DIR="$asan" "$top/fuzz/run_fuzz.sh" "$seconds"
