# Sourced, not run: the environment the Windows programs run in under Wine.
# One prefix per build directory, created once; no prompts, no debug output,
# and a silent ALSA device so that DirectSound opens on machines without a
# sound card.

wine_env_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

export WINEPREFIX="${WINEPREFIX:-$wine_env_root/build/windows/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko install prompts, and ALSA rather than PulseAudio.
export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv="
export ALSA_CONFIG_PATH="$wine_env_root/scripts/alsa-null.conf"
export HOME="${HOME:-$wine_env_root/build}"

# Returns 0 where this machine runs 32-bit programs. Elsewhere it prints, on
# standard error, the line the Windows build's checks are counted as skipped
# by (ctest matches "SKIPPED: "), and returns 77 at once: nothing waits for a
# Wine that cannot start.
wine_runs_here() {
  local why
  why=$(bash "$wine_env_root/scripts/win32-probe.sh") && return 0
  echo "SKIPPED: $why" >&2
  return 77
}

# Creates the prefix the first time; later calls return at once. A lock keeps
# two runs from creating it together, and the stamp is only written once the
# prefix is complete, so an interrupted creation is finished by the next call
# (wineboot completes a prefix in place; nothing is ever deleted).
wine_prefix_ready() {
  [ -f "$WINEPREFIX/.ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/.ready" ] && exit 0
    if ! { wineboot -i && wineserver -w; } >"$WINEPREFIX.log" 2>&1 </dev/null; then
      echo "wine-env: could not create the Wine prefix $WINEPREFIX (see $WINEPREFIX.log)" >&2
      exit 1
    fi
    touch "$WINEPREFIX/.ready"
  ) 9>"$WINEPREFIX.lock"
}
