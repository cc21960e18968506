#!/usr/bin/env bash
# The edit verbs as a user runs them, on every panel file of the tree that
# places Airspeed and runs: a move then `save OUT` writes a file that differs
# from the panel file in that gauge's line alone; `save OUT` with no edit a
# byte-identical copy; and a save over a file changed on disk since it was
# read is refused, naming the file, with exit status 1.
# Usage: edit_program_test.sh HOST SOURCE_ROOT
set -uo pipefail
host="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

if git -C "$root" rev-parse >/dev/null 2>&1; then
  mapfile -t panels < <(git -C "$root" ls-files '*.cfg')
else
  mapfile -t panels < <(cd "$root" && find host tests benchmarks -name '*.cfg' | sort)
fi
tried=0
for panel in "${panels[@]}"; do
  source="$root/$panel"
  grep -qiE 'corvelain_instr(\.gau)?!Airspeed *,' "$source" || continue
  # Deliberately broken files do not run at all.
  "$host" --panel "$source" </dev/null >/dev/null 2>&1 || continue
  tried=$((tried + 1))
  copy="$work/$(echo "$panel" | tr / _)"
  cp "$source" "$copy"

  printf 'save %s\n' "$copy.same" | "$host" --panel "$copy" --script - >/dev/null 2>&1 ||
    fail "$panel: save with no edit"
  cmp -s "$source" "$copy.same" || fail "$panel: saved with no edit, not byte for byte"

  printf 'move Airspeed 40 30\nsave %s\n' "$copy.out" |
    "$host" --panel "$copy" --script - >"$work/out.txt" 2>&1 ||
    { fail "$panel: move and save"; cat "$work/out.txt" >&2; continue; }
  cmp -s "$source" "$copy" || fail "$panel: the panel file itself changed"
  changed="$(diff <(tr '\n' '\001' <"$source" | sed 's/\x01/\x01\n/g') \
                  <(tr '\n' '\001' <"$copy.out" | sed 's/\x01/\x01\n/g') |
             grep -c '^[<>]')"
  [[ "$changed" == 2 ]] || fail "$panel: $changed lines differ, not one"
  new_line="$(diff "$source" "$copy.out" | grep '^>')"
  [[ "$new_line" =~ Airspeed[[:space:]]*,[[:space:]]*40[[:space:]]*,[[:space:]]*30([^0-9]|$) ]] ||
    fail "$panel: the changed line is not Airspeed at 40, 30: $new_line"
done
[[ $tried -ge 3 ]] || fail "only $tried panel files place Airspeed"

# A file changed on disk after it was read (here by the script's own
# picture) is not saved over.
panel="$work/conflict.cfg"
cp "$root/host/sample/panel.cfg" "$panel"
printf 'move Airspeed 40 30\npicture MAIN_PANEL %s\nsave\n' "$panel" |
  "$host" --panel "$panel" --script - >"$work/out.txt" 2>"$work/err.txt"
status=$?
[[ $status == 1 ]] || fail "conflicting save: exit status $status, not 1"
grep -q "^-:3: $panel: changed on disk since it was read" "$work/err.txt" ||
  fail "conflicting save: $(cat "$work/err.txt")"
[[ ! -e "$panel.bak" ]] || fail "conflicting save: a .bak was written"

echo "$tried panel files edited and saved; $failures failures"
[[ $failures == 0 ]]
