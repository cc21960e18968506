#!/usr/bin/env bash
# Every file corvelain_host is given, with every command that reads it,
# when it is no file of its kind: a folder, a device, a file too large, one
# that is not there, one that is not text or not a panel file, a file where
# an output folder should be. Each row must end at once with exit status 2,
# one line on standard error naming the file and why, nothing on standard
# output, and nothing written.
# Usage: bad_files_test.sh CORVELAIN_HOST [MODULE_FILE] [RUNNER]
# MODULE_FILE, a good module, is what `inspect --against` compares with
# (those rows are left out without it); with RUNNER (scripts/run32.sh) the
# linux32 host runs, which reads --module itself.
set -uo pipefail
host="$1" module="${2:-}" runner="${3:-}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
panel="$root/host/sample/panel.cfg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

folder="$work/folder"
mkdir "$folder"
echo x >"$work/a_file"
printf 'say hello\nframes 1\n' >"$work/script.cfg"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR' >"$work/picture.cfg"
truncate -s 2M "$work/big.cfg"
truncate -s 65M "$work/big.gau"
missing="$work/absent.cfg"
no_such="cannot be read (No such file or directory)"
device="is not a regular file (a character device)"
not_a_folder="is a file, not a folder"

# With RUNNER the linux32 host reads --module itself; the native build has
# its module linked in and says so, naming the file.
if [ -n "$runner" ]; then
  module_folder="$folder: is a folder"
else
  module_folder="$folder: this build has the module linked in; --module is for the Windows build"
fi

# check NAME STDIN EXPECTED ARGS...: one row. STDIN is a file for standard
# input ("" for none); EXPECTED the message after "corvelain_host: ".
check() {
  local name="$1" input="$2" expected="$3"
  shift 3
  local status=0
  timeout 120 $runner "$host" "$@" <"${input:-/dev/null}" >"$work/out" \
    2>"$work/err" || status=$?
  local line
  line=$(head -n 1 "$work/err")
  if [ "$status" != 2 ] || [ "$line" != "corvelain_host: $expected" ] ||
    [ -s "$work/out" ]; then
    echo "FAILED $name: status $status"
    echo "  expected: corvelain_host: $expected"
    sed 's/^/  stderr:   /' "$work/err" | head -n 5
    sed 's/^/  stdout:   /' "$work/out" | head -n 5
    failures=$((failures + 1))
  else
    echo "ok $name"
  fi
}

# The panel file, run and served.
check panel_folder "" "$folder: is a folder" --panel "$folder"
check panel_endless_device "" "/dev/zero: $device" --panel /dev/zero
check panel_empty_device "" "/dev/null: $device" --panel /dev/null
check panel_missing "" "$missing: $no_such" --panel "$missing"
check panel_not_text "" "$work/picture.cfg: is not text (a NUL byte at offset 8)" \
  --panel "$work/picture.cfg"
check panel_without_sections "" \
  "$work/script.cfg: has no [WindowNN] or [VcockpitNN] section" \
  --panel "$work/script.cfg"
check panel_too_large "" \
  "$work/big.cfg: is larger than 1048576 bytes, more than a panel file can be" \
  --panel "$work/big.cfg"
check serve_panel_folder "" "$folder: is a folder" serve --port 0 --panel "$folder"
check serve_panel_empty_device "" "/dev/null: $device" serve --port 0 \
  --panel /dev/null
check serve_panel_not_text "" \
  "$work/picture.cfg: is not text (a NUL byte at offset 8)" \
  serve --port 0 --panel "$work/picture.cfg"
check serve_panel_without_sections "" \
  "$work/script.cfg: has no [WindowNN] or [VcockpitNN] section" \
  serve --port 0 --panel "$work/script.cfg"
check serve_panel_missing "" "$missing: $no_such" serve --port 0 \
  --panel "$missing"
check serve_sheets_file "" "$work/a_file: $not_a_folder" serve --port 0 \
  --panel "$panel" --sheets "$work/a_file"

# The script, from a file and from standard input.
check script_folder "" "$folder: is a folder" --panel "$panel" --script "$folder"
check script_endless_device "" "/dev/zero: $device" --panel "$panel" \
  --script /dev/zero
check script_missing "" "$work/absent.scn: $no_such" --panel "$panel" \
  --script "$work/absent.scn"
check script_too_large "" \
  "$work/big.cfg: is larger than 1048576 bytes, more than a script can be" \
  --panel "$panel" --script "$work/big.cfg"
check script_input_too_large "$work/big.cfg" \
  "standard input: is larger than 1048576 bytes, more than a script can be" \
  --panel "$panel" --script -

# The module, for each command that takes one.
check run_module_folder "" "cannot load module $module_folder" \
  --panel "$panel" --module "$folder"
check serve_module_folder "" "cannot load module $module_folder" \
  serve --port 0 --panel "$panel" --module "$folder"
check validate_module_folder "" "cannot load module $module_folder" \
  validate --level 1 --module "$folder"
check sheet_module_folder "" "$folder: is a folder" sheet Tachometer \
  --out "$work/sheets" --module "$folder"
check sheet_module_device "" "/dev/zero: $device" sheet Tachometer \
  --out "$work/sheets" --module /dev/zero
check inspect_folder "" "$folder: is a folder" inspect "$folder"
check inspect_endless_device "" "/dev/zero: $device" inspect /dev/zero
check inspect_missing "" "$work/absent.gau: $no_such" inspect "$work/absent.gau"
check inspect_too_large "" \
  "$work/big.gau: is larger than 67108864 bytes, more than a module can be" \
  inspect "$work/big.gau"
if [ -n "$module" ] && [ -f "$module" ]; then
  check against_folder "" "$folder: is a folder" inspect "$module" \
    --against "$folder"
  check against_device "" "/dev/zero: $device" inspect "$module" \
    --against /dev/zero
else
  echo "module file ${module:-(none)} not built: --against rows left out"
fi

# A file where an output folder should be, refused before anything is
# written.
check sheet_out_file "" "$work/a_file: $not_a_folder" sheet Tachometer \
  --out "$work/a_file"
check sheet_out_inside_file "" \
  "$work/a_file/sheets: cannot be made, $work/a_file $not_a_folder" \
  sheet Tachometer --out "$work/a_file/sheets"
check pictures_file "" "$work/a_file: $not_a_folder" --panel "$panel" \
  --pictures "$work/a_file"
check pictures_device "" "/dev/null: is not a folder (a character device)" \
  --panel "$panel" --pictures /dev/null
check inspect_bitmaps_file "" "$work/a_file: $not_a_folder" inspect \
  "$work/absent.gau" --bitmaps "$work/a_file"
[ "$(cat "$work/a_file")" = x ] || {
  echo "FAILED: the file given as a folder was changed"
  failures=$((failures + 1))
}
[ ! -e "$work/sheets" ] || {
  echo "FAILED: a refused run made its output folder"
  failures=$((failures + 1))
}

if [ "$failures" != 0 ]; then
  echo "$failures rows failed"
  exit 1
fi
echo "bad files: all rows passed"
