#!/usr/bin/env bash
# The path the scripts take on a machine that cannot run 32-bit programs,
# exercised on any machine by forcing the probe's answer
# (CORVELAIN_NO_WIN32=1), once each and cheaply:
# - scripts/main.sh exits 0, says why once, and writes the sample panel's
#   pictures from the real module through the linux32 host;
# - the Windows build's suite runs its checks that run no Windows program
#   and reports every other one as skipped, failing nothing;
# - scripts/bench.sh --quick prints every row, P3 "not measured", P5 and
#   H2 measured under qemu-i386.
# Expects the builds built (scripts/test.sh has run). Prints
# "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export CORVELAIN_NO_WIN32=1
sentence="CORVELAIN_NO_WIN32 is set, so the real module is not loaded under Wine here"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $what"
  fi
}
count_lines() { grep -c -F -- "$1" "$2"; }

# The main job.
pictures="$root/build/pictures"
rm -rf "$pictures"
bash "$root/scripts/main.sh" >"$work/main.out" 2>&1
check "main.sh exits 0 (status $?)" test $? -eq 0
check "main.sh says why once" test "$(count_lines "$sentence" "$work/main.out")" -eq 1
check "main.sh runs the real module through the linux32 host under qemu-i386" \
  grep -q -F "running the sample panel on the real module through the linux32 host, emulated by qemu-i386" "$work/main.out"
for picture in main_panel_cold main_panel_day main_panel_night radio_stack_off \
  radio_stack_on radio_stack_night throttle_quadrant_day fuel_day \
  electricity_day throttle_quadrant_night electricity_night; do
  check "main.sh draws $picture.png" cmp -s "$pictures/$picture.png" \
    "$root/docs/pictures/$picture.png"
done

# The Windows build's suite: only the export checks run Windows-free.
runs_no_windows_program='^module_exports'
ctest --test-dir "$root/build/windows" >"$work/ctest.out" 2>&1
check "the Windows suite fails nothing (status $?)" test $? -eq 0
sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) [ .*]*\([A-Za-z]*\).*/\1 \2/p' \
  "$work/ctest.out" >"$work/results"
check "the Windows suite lists its checks" test -s "$work/results"
while read -r name result; do
  if [[ "$name" =~ $runs_no_windows_program ]]; then
    check "$name runs and passes ($result)" test "$result" = Passed
  else
    check "$name is skipped ($result)" test "$result" = Skipped
  fi
done <"$work/results"
check "the Windows suite ran the export checks" \
  test "$(grep -c '^module_exports.* Passed$' "$work/results")" -eq 3
check "the closing list names the skipped checks" \
  test "$(grep -c '(Skipped)$' "$work/ctest.out")" -eq \
  "$(grep -c ' Skipped$' "$work/results")"

# The benchmarks, briefly.
bash "$root/scripts/bench.sh" --quick >"$work/bench.out" 2>&1
check "bench.sh exits 0 (status $?)" test $? -eq 0
for figure in P1 H1 C1 P2 P3 P4 P5 H2; do
  check "bench.sh prints $figure" grep -q "^| $figure |" "$work/bench.out"
done
check "bench.sh says P3 is not measured, and why" \
  grep -q -F "| P3 | under Wine: host loading the module and installing every gauge, less a bare program | not measured: $sentence |" \
  "$work/bench.out"
check "bench.sh says P5 and H2 ran under qemu-i386" \
  test "$(grep -c '^| \(P5\|H2\) | linux32 (emulated by qemu-i386)' "$work/bench.out")" -eq 2

if [ $failed -ne 0 ]; then
  cat "$work"/*.out
fi
echo "without 32-bit programs: $passed passed, $failed failed"
[ $failed -eq 0 ]
