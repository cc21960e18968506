#!/usr/bin/env bash
# The probe of whether this machine runs 32-bit programs, both ways: on a
# program every machine runs, on one no kernel runs (an ELF header for a
# machine that does not exist, written here), on a file that cannot be run
# at all, and with its answer forced. Its own program must give one of its
# two answers. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
probe="$root/scripts/win32-probe.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 64-bit little-endian executable for machine 0xbeef, padded to a full
# header: every kernel refuses it with ENOEXEC.
printf '%b' '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\xef\xbe\x01\x00\x00\x00' >"$work/foreign"
head -c 40 /dev/zero >>"$work/foreign"
chmod +x "$work/foreign"
printf 'not a program\n' >"$work/not_executable"

no_kernel="this machine's kernel does not run 32-bit programs (Exec format error), so the real module cannot be loaded under Wine here"
forced="CORVELAIN_NO_WIN32 is set, so the real module is not loaded under Wine here"
refused="a 32-bit program could not be run here (Permission denied), so the real module cannot be loaded under Wine here"

# name | CORVELAIN_NO_WIN32 | program | expected status | expected output
cases=(
  "runs a program this machine runs||/bin/true|0|"
  "a program for another machine is refused||$work/foreign|1|$no_kernel"
  "a file that is not executable is refused||$work/not_executable|1|$refused"
  "the forced answer wins over a program that runs|1|/bin/true|1|$forced"
  "CORVELAIN_NO_WIN32=0 forces nothing|0|/bin/true|0|"
)

passed=0 failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r name force program want_status want_output <<<"$row"
  output=$(CORVELAIN_NO_WIN32="$force" bash "$probe" "$program")
  status=$?
  if [ "$status" = "$want_status" ] && [ "$output" = "$want_output" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name: status $status, output '$output'"
  fi
done

# Its own program: yes with nothing said, or no with one of its sentences.
output=$(env -u CORVELAIN_NO_WIN32 bash "$probe")
status=$?
if { [ $status -eq 0 ] && [ -z "$output" ]; } ||
  { [ $status -eq 1 ] && [[ "$output" == *", so the real module cannot be loaded under Wine here" ]] &&
    [ "$(wc -l <<<"$output")" -eq 1 ]; }; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAIL its own program: status $status, output '$output'"
fi
echo "own program: status $status${output:+, \"$output\"}"

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
