#!/usr/bin/env bash
# Builds the native tree as Release without sanitizers (build/release) and
# runs the benchmarks. Extra arguments go to the benchmark program, e.g.
# --benchmark_filter=full_frame.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release \
  -DWITH_SANITIZERS=OFF >/dev/null
cmake --build "$root/build/release" -j"$(nproc)" --target frame_benchmark \
  >/dev/null
"$root/build/release/benchmarks/frame_benchmark" "$@"
