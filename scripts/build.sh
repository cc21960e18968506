#!/usr/bin/env bash
# Builds both builds: the native one (Debug, address and UB sanitizers) into
# build/native and the 32-bit Windows one (Release, MinGW) into
# build/windows.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs=$(nproc)

cmake -S "$root" -B "$root/build/native" \
  -DCMAKE_BUILD_TYPE=Debug -DWITH_SANITIZERS=ON
cmake --build "$root/build/native" -j"$jobs"

cmake -S "$root" -B "$root/build/windows" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build/windows" -j"$jobs"
