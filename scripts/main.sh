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

# Then pictures of it after a cold start and an engine run, by day and by
# night, into build/pictures (the README shows the same ones).
mkdir -p "$root/build/pictures"
cd "$root/build/pictures"
"$root/scripts/wine-run.sh" "$root/build/windows/corvelain_host.exe" \
  --panel "$root/host/sample/panel.cfg" --script "$root/host/sample/pictures.scn"
echo "main: pictures of the sample panel in $root/build/pictures"
