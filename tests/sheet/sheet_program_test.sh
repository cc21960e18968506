#!/usr/bin/env bash
# corvelain_host sheet as a user runs it: one gauge's plot, listing, sheet
# and index written; a misspelt gauge named with the nearest ones and
# nothing written; an output folder inside a file refused; and a module file
# this build cannot run drawn from its records, each gauge said so.
# Usage: sheet_program_test.sh CORVELAIN_HOST [MODULE_FILE]
set -uo pipefail
host="$1" module="${2:-}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*"
  [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err"
  exit 1
}

"$host" sheet Tachometer --out "$work/sheets" >"$work/out" 2>"$work/err" ||
  fail "sheet Tachometer exited $?"
grep -qx "1 gauge drawn into $work/sheets (index.html)" "$work/out" ||
  fail "said: $(cat "$work/out")"
for file in Tachometer.plot.png Tachometer.sheet.png; do
  [ "$(head -c 8 "$work/sheets/$file" | od -An -tx1 | tr -d ' \n')" = \
    89504e470d0a1a0a ] || fail "$file is not a PNG"
done
grep -q '^  stops: 0, 3200$' "$work/sheets/Tachometer.plot.txt" ||
  fail "no stops in the listing"
grep -q 'href="Tachometer.plot.png"' "$work/sheets/index.html" ||
  fail "the index does not link the plot"
[ ! -e "$work/sheets/.sheet-partial" ] || fail "the partial folder was left"

status=0
"$host" sheet Tachometr --out "$work/none" >"$work/out" 2>"$work/err" ||
  status=$?
[ "$status" = 2 ] || fail "a misspelt gauge gave status $status"
grep -q '(nearest: Tachometer, ' "$work/err" || fail "no nearest names"
[ ! -e "$work/none" ] || fail "a misspelt gauge made the output folder"

: >"$work/a_file"
status=0
"$host" sheet Tachometer --out "$work/a_file/sheets" >"$work/out" \
  2>"$work/err" || status=$?
[ "$status" = 2 ] || fail "an output folder inside a file gave $status"
grep -qx "corvelain_host: $work/a_file/sheets: cannot be made, $work/a_file is a file, not a folder" \
  "$work/err" || fail "the error does not name the folder and the file"

if [ -z "$module" ] || [ ! -f "$module" ]; then
  echo "module file ${module:-(none)} not built: its records were not drawn"
  exit 0
fi
"$host" sheet all --module "$module" --out "$work/records" >"$work/out" \
  2>"$work/err" || fail "sheet all --module exited $?"
[ "$(grep -c ': not driven (' "$work/out")" = 60 ] ||
  fail "not every gauge said it was not driven"
grep -q '^  stops: 0, 3200$' "$work/records/Tachometer.plot.txt" ||
  fail "the records give the tachometer no stops"
grep -q 'its callback cannot run here' "$work/records/Oil_Pressure.plot.txt" ||
  fail "the oil pressure gate was not said to be left out"
echo "sheet program: all checks passed"
