#!/usr/bin/env bash
# Tells whether this machine runs 32-bit programs, which Wine needs to load
# the real module:  scripts/win32-probe.sh [PROGRAM]
# Exit status 0 when it does (nothing printed); 1 when it does not, with one
# sentence on standard output saying why. The other scripts print that
# sentence and take their native path.
#
# It runs PROGRAM, by default a 93-byte 32-bit x86 Linux program written
# here that only exits. CORVELAIN_NO_WIN32=1 gives the answer "no" without
# trying, so the native path can be exercised on any machine.
set -uo pipefail

if [ -n "${CORVELAIN_NO_WIN32:-}" ] && [ "$CORVELAIN_NO_WIN32" != 0 ]; then
  echo "CORVELAIN_NO_WIN32 is set, so the real module is not loaded under Wine here"
  exit 1
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program=${1:-}
work=
if [ -z "$program" ]; then
  # Written inside the tree rather than in /tmp, which may forbid running
  # programs and so give the wrong answer.
  mkdir -p "$root/build" || exit 2
  work=$(mktemp -d "$root/build/.win32-probe.XXXXXX") || exit 2
  trap 'rm -rf "$work"' EXIT
  program="$work/exit0"
  # ELF header (i386, executable, entry 0x08048054), one loadable segment
  # holding the whole file, then: mov eax, 1; xor ebx, ebx; int 0x80.
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$program"
  chmod +x "$program"
fi

# bash itself execs the program, so a refused binary is reported as such and
# never handed to a shell as a script.
errors=$("$program" 2>&1 >/dev/null)
status=$?
[ $status -eq 0 ] && exit 0

reason=${errors##*: }
reason=${reason%%$'\n'*}
if [[ "$errors" == *"Exec format error"* ]]; then
  echo "this machine's kernel does not run 32-bit programs (Exec format error), so the real module cannot be loaded under Wine here"
else
  echo "a 32-bit program could not be run here (${reason:-exit status $status}), so the real module cannot be loaded under Wine here"
fi
exit 1
