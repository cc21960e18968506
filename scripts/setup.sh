#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine: compilers,
# GoogleTest, Google Benchmark, cairo for the artwork, stb and the Liberation
# fonts for the renderer, nlohmann-json for inspect's JSON, the MinGW cross
# compiler, the 32-bit Linux compilers and qemu-i386 for the linux32 host, Chromium for the live panel page's browser tests and their npm
# packages, 32-bit Wine, a virtual X server and the ALSA pieces Wine's
# DirectSound opens (these last three only where the machine runs 32-bit
# programs). Only what is missing is
# installed, so a second run returns at once.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake g++ googletest libgtest-dev libbenchmark-dev clang-format clang
  libcairo2-dev libstb-dev fonts-liberation2 nlohmann-json3-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  gcc-multilib g++-multilib qemu-user
  alsa-utils
  valgrind
  chromium
)
# Wine and what it runs with only where it can run: the cross build needs
# none of it.
# Node.js and npm for the browser tests, from Debian where the machine has
# none of its own.
command -v npm >/dev/null || packages+=(nodejs npm)
wine_packages=(wine wine32:i386 xvfb xauth libasound2-plugins:i386)
wine_here=true
if ! bash "$root/scripts/win32-probe.sh" >/dev/null; then
  wine_here=false
else
  packages+=("${wine_packages[@]}")
fi

# The browser tests' npm packages as the lock file pins them, with the
# machine's node and npm; again only when the lock file is newer than what
# is installed.
npm_packages() {
  local dir="$root/tests/browser"
  if ! command -v npm >/dev/null; then
    echo "setup: npm is missing, so the browser tests will be skipped" >&2
    return 0
  fi
  if [ ! -f "$dir/node_modules/.package-lock.json" ] ||
    [ "$dir/package-lock.json" -nt "$dir/node_modules/.package-lock.json" ]; then
    echo "setup: npm ci in tests/browser"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
i386_enabled=true
if $wine_here && ! dpkg --print-foreign-architectures | grep -qx i386; then
  i386_enabled=false
fi
if [ ${#missing[@]} -eq 0 ] && $i386_enabled; then
  npm_packages
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: need root to install: ${missing[*]}" >&2
    exit 1
  fi
  as_root=(sudo)
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$i386_enabled || "${as_root[@]}" dpkg --add-architecture i386
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q "${missing[@]}" </dev/null
npm_packages
