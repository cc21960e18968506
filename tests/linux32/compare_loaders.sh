#!/usr/bin/env bash
# The two loaders of the real module print the same transcript: the Windows
# host under Wine (the system's own loader) and the linux32 host (its own
# PE loader), on the sample panel's session and the whole flight.
# Usage: compare_loaders.sh WINDOWS_HOST LINUX32_HOST
# Status 77 where Wine cannot run, after saying why.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
windows_host="$1" linux32_host="$2"
if ! why=$(bash "$root/scripts/win32-probe.sh"); then
  echo "SKIPPED: $why"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for run in "host/sample/panel.cfg host/sample/session.scn" \
  "host/sample/panel.cfg tests/scenarios/flight/flight.scn"; do
  read -r panel script <<<"$run"
  name=$(basename "$script" .scn)
  (cd "$work" && bash "$root/scripts/wine-run.sh" "$windows_host" \
    --panel "$root/$panel" --script "$root/$script" >"$work/$name.windows")
  (cd "$work" && bash "$root/scripts/run32.sh" "$linux32_host" \
    --panel "$root/$panel" --script "$root/$script" >"$work/$name.linux32")
  if cmp -s "$work/$name.windows" "$work/$name.linux32"; then
    echo "same transcript: $script"
  else
    echo "FAILED: the loaders' transcripts differ for $script"
    diff -u "$work/$name.windows" "$work/$name.linux32" | head -40
    status=1
  fi
done
exit $status
