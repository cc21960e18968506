#!/usr/bin/env bash
# Sets the machine up and builds where needed, then runs every test: the
# native build's, the Windows build's under Wine, then the linux32 build's
# (the real module mapped by the 32-bit Linux host, natively or under
# qemu-i386). All always run; the exit status is non-zero if any had a
# failure.
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
echo "test: the linux32 build's checks, the real module mapped by its own" \
  "loader, $(bash "$root/scripts/run32.sh" --how)"
ctest --test-dir "$root/build/linux32" --output-on-failure || status=1
exit $status
