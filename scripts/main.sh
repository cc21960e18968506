#!/usr/bin/env bash
# Sets the machine up, builds the builds and runs the main job: the sample
# panel in the Windows host under Wine, loading the real module. Where this
# machine cannot run 32-bit programs (scripts/win32-probe.sh) it says why and
# runs the same job on the real module through the linux32 host, which maps
# it itself, under qemu-i386.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

if why=$(bash "$root/scripts/win32-probe.sh"); then
  host=("$root/scripts/wine-run.sh" "$root/build/windows/corvelain_host.exe")
else
  echo "main: $why; running the sample panel on the real module through the linux32 host, $(bash "$root/scripts/run32.sh" --how)"
  host=("$root/scripts/run32.sh" "$root/build/linux32/host/corvelain_host")
fi

# The sample panel through a short scripted session.
"${host[@]}" --panel "$root/host/sample/panel.cfg" \
  --script "$root/host/sample/session.scn"

# Then pictures of it after a cold start and an engine run, by day and by
# night, into build/pictures (the README shows the same ones).
mkdir -p "$root/build/pictures"
cd "$root/build/pictures"
"${host[@]}" --panel "$root/host/sample/panel.cfg" \
  --script "$root/host/sample/pictures.scn"
echo "main: pictures of the sample panel in $root/build/pictures"
