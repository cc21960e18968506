#!/usr/bin/env bash
# Fuzzes the panel reader with libFuzzer (clang), starting from every panel
# file in the tree. Usage: scripts/fuzz.sh [RUNS] (default 1000000); any
# sanitizer finding or crash stops it with a non-zero status and leaves the
# input in build/fuzz/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-1000000}"
build="$root/build/fuzz"

cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

corpus="$build/corpus"
mkdir -p "$corpus"
find "$root/host/sample" "$root/tests/scenarios" -name '*.cfg' \
  -exec cp {} "$corpus/" \;
cd "$build"
./panel_config_fuzz -runs="$runs" -max_len=8192 -print_final_stats=1 \
  "$corpus" 2>&1 | tail -n 12
exit "${PIPESTATUS[0]}"
