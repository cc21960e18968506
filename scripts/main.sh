#!/usr/bin/env bash
# Sets the machine up, builds both builds and runs the main job: the sample
# panel in the Windows host under Wine, loading the real module.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

# The sample panel in the Windows host, loading the real module, through a
# short scripted session.
"$root/scripts/wine-run.sh" "$root/build/windows/corvelain_host.exe" \
  --panel "$root/host/sample/panel.cfg" --script "$root/host/sample/session.scn"
