#!/usr/bin/env bash
# Checks what a built module shows the system loader: exactly the two records
# ImportTable and Linkage, undecorated, and imports from system libraries
# only, since the C and C++ runtimes are linked into the module.
#   check_exports.sh OBJDUMP MODULE
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: check_exports.sh OBJDUMP MODULE" >&2
  exit 2
fi
dump=$("$1" -p "$2")

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
               table && NF == 0 { table = 0 }
               table { print $NF }' <<<"$dump" | sort | paste -sd ' ')
imports=$(awk '/DLL Name:/ { print $3 }' <<<"$dump")

problems=0
if [ "$exports" != "ImportTable Linkage" ]; then
  echo "FAIL exports: '$exports', expected 'ImportTable Linkage'"
  problems=$((problems + 1))
fi
if [ -z "$imports" ]; then
  echo "FAIL imports: none found"
  problems=$((problems + 1))
fi
for library in $imports; do
  case "${library,,}" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll | \
      dsound.dll | winmm.dll | ole32.dll | api-ms-win-crt-*.dll) ;;
    *)
      echo "FAIL imports: $library is not a system library"
      problems=$((problems + 1))
      ;;
  esac
done

if [ "$problems" -ne 0 ]; then
  exit 1
fi
echo "exports: $exports; imports: $(paste -sd ' ' <<<"$imports")"
