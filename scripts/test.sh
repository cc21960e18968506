#!/usr/bin/env bash
# Sets the machine up and builds where needed, then runs every test: the
# native build's, then the Windows build's under Wine. Both always run; the
# exit status is non-zero if either had a failure.
#
# Where this machine cannot run 32-bit programs (scripts/win32-probe.sh), the
# Windows build is still built and its checks that run no Windows program
# (the export check) still run; every check that would run one under Wine is
# reported by ctest as skipped, at once, and fails nothing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

status=0
ctest --test-dir "$root/build/native" --output-on-failure || status=1
why=
if why=$(bash "$root/scripts/win32-probe.sh"); then
  echo "test: the Windows build's checks, the real module under Wine"
else
  echo "test: $why: the Windows build's checks that run a Windows program are skipped"
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir "$root/build/windows" --output-on-failure | tee "$log" ||
  status=1
skipped=$(grep -c '(Skipped)$' "$log" || true)
if [ "$skipped" -gt 0 ]; then
  echo "test: $skipped Windows checks skipped${why:+: $why}"
fi
exit $status
