#!/usr/bin/env bash
# Sets the machine up, builds both builds and runs the main job: the real
# module loaded under Wine, with the gauges it offers listed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

"$root/scripts/wine-run.sh" "$root/build/windows/tests/wine/layout_check.exe" \
  --list "$root/build/windows/Corvelain_Instr.gau"
