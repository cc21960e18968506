#!/usr/bin/env bash
# Builds the three builds: the native one (Debug, address and UB sanitizers)
# into build/native, the 32-bit Windows one (Release, MinGW) into
# build/windows, and the 32-bit Linux host (Release, g++ -m32), which maps
# the Windows build's module itself, into build/linux32.
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

cmake -S "$root" -B "$root/build/linux32" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i386.cmake" \
  -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build/linux32" -j"$jobs"
