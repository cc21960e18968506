#!/usr/bin/env bash
# Runs a program of the linux32 build:  scripts/run32.sh PROGRAM [ARGS...]
# Natively where this machine runs 32-bit programs (scripts/win32-probe.sh),
# elsewhere under qemu-i386, Debian's user-mode emulator, called directly:
# no binfmt registration and no root. `scripts/run32.sh --how` prints which
# ("native" or "emulated by qemu-i386").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ $# -lt 1 ]; then
  echo "usage: run32.sh PROGRAM [ARGS...] | run32.sh --how" >&2
  exit 2
fi
native=false
bash "$root/scripts/win32-probe.sh" >/dev/null && native=true
if [ "$1" = --how ]; then
  if $native; then echo native; else echo "emulated by qemu-i386"; fi
  exit 0
fi
if [ ! -f "$1" ]; then
  echo "run32: no such program: $1" >&2
  exit 2
fi
$native && exec "$@"
if ! command -v qemu-i386 >/dev/null; then
  echo "run32: this machine does not run 32-bit programs and qemu-i386 is missing (Debian package qemu-user)" >&2
  exit 2
fi
exec qemu-i386 "$@"
