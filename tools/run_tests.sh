#!/usr/bin/env bash
# The whole test job: installs what is missing, builds everything and runs
# every test; then the same tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short fuzzing run of the workbook
# engine when clang is there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

tools/install_deps.sh

jobs=$(nproc)
# Release: no debug info, which would double the job's compile time.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVERS_BUILD_GUI=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

tools/sanitize_and_fuzz.sh
