#!/usr/bin/env bash
# Builds the module file reader's seed: a 6 KB gauge module of one gauge
# (static, needle, icon and string elements, a tooltip and a click) and two
# resources, without a runtime, into tests/fuzz/corpus/module_file/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$here/../corpus/module_file"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$here" && i686-w64-mingw32-windres seed_module.rc -O coff -o "$work/rc.o")
i686-w64-mingw32-gcc -std=c11 -O1 -shared -nostdlib -s \
  -Wl,--entry,_DllMain@12 -o "$out/seed_module.gau" \
  "$here/seed_module.c" "$work/rc.o"
