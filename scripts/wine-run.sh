#!/usr/bin/env bash
# Runs a Windows program of a build under Wine, the way the tests and scripts
# do:  scripts/wine-run.sh PROGRAM.exe [ARGS...]
# The Wine prefix is the one of the build directory that holds the program,
# so builds side by side never share a Wine session.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
if [ ! -f "$1" ]; then
  echo "wine-run: no such program: $1" >&2
  exit 2
fi

if [ -z "${WINEPREFIX:-}" ]; then
  build_dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
    build_dir=$(dirname "$build_dir")
  done
  if [ -f "$build_dir/CMakeCache.txt" ]; then
    export WINEPREFIX="$build_dir/wineprefix"
  fi
fi

# shellcheck source=scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_runs_here || exit $?
wine_prefix_ready

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$@"
fi
# Without a display, a private X server for this one run. The Wine session is
# let to end before the server goes, so the next run starts a clean one.
exec xvfb-run -a bash -c 'wine "$@"; status=$?; wineserver -w; exit $status' \
  wine-run "$@"
