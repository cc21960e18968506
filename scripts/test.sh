#!/usr/bin/env bash
# Sets the machine up and builds where needed, then runs every test: the
# native build's, then the Windows build's under Wine. Both always run; the
# exit status is non-zero if either had a failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

status=0
ctest --test-dir "$root/build/native" --output-on-failure || status=1
ctest --test-dir "$root/build/windows" --output-on-failure || status=1
exit $status
