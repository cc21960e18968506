#!/usr/bin/env bash
# Draws the README's pictures of the sample panel afresh into docs/pictures
# with the native build's host (host/sample/pictures.scn). Both builds'
# tests compare what they draw with these files, byte for byte.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
host="$root/build/native/host/corvelain_host"
[ -x "$host" ] || { echo "pictures: build the native build first" >&2; exit 1; }
mkdir -p "$root/docs/pictures"
cd "$root/docs/pictures"
rm -f ./*.png
"$host" --panel "$root/host/sample/panel.cfg" \
  --script "$root/host/sample/pictures.scn" >/dev/null
ls "$root/docs/pictures"
# The README's calibration plot and contact sheet (not compared byte for
# byte: cairo's text depends on the machine's fonts).
"$host" sheet Tachometer --out "$root/build/readme-sheets" >/dev/null
mkdir -p "$root/docs/sheets"
cp "$root/build/readme-sheets/Tachometer.plot.png" \
  "$root/build/readme-sheets/Tachometer.sheet.png" "$root/docs/sheets/"
