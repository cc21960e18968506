#!/usr/bin/env bash
# Plays the module's switch click under Wine and listens at the other end:
# an ALSA device of type file captures what DirectSound mixes.
#   audio_capture.sh SOUND_DRIVER MODULE WORK_FOLDER
# 1. Click: the battery switch's click reaches the device (its energy, at
#    the resampled rate the audio path chose), the avionics switch is silent,
#    DirectSound's trace shows one play and every object released, and the
#    host's sound watch saw that play with the switch click's format and
#    samples.
# 2. No click: the device receives silence.
# 3. No audio device at all: DirectSound cannot be created, no buffer is
#    ever made, and the switches and tooltips work exactly as before.
# 4. The module's "WAVE" resources are the committed recordings, byte for
#    byte.
# Prints "N passed, N failed".
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: audio_capture.sh SOUND_DRIVER MODULE WORK_FOLDER" >&2
  exit 2
fi
driver=$1 module=$2 work=$3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"

build_dir=$(cd "$(dirname "$driver")" && pwd)
while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
  build_dir=$(dirname "$build_dir")
done
[ -f "$build_dir/CMakeCache.txt" ] && export WINEPREFIX="$build_dir/wineprefix"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
wine_runs_here || exit $?
wine_prefix_ready || exit 1

rm -rf "$work"
mkdir -p "$work"
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $what"
  fi
}

write_alsa_config() {  # write_alsa_config FILE CAPTURE|none
  {
    echo "</usr/share/alsa/alsa.conf>"
    if [ "$2" = none ]; then
      # A card that does not exist: no output device at all.
      echo 'pcm.!default { type hw card 57 }'
      echo 'ctl.!default { type hw card 57 }'
    else
      echo "pcm.!default { type file slave.pcm \"null\" file \"$2\" format \"wav\" }"
    fi
  } >"$1"
}

# run_driver NAME ALSA_TARGET MODE [ARG]: output in NAME.out, DirectSound's
# trace in NAME.trace.
run_driver() {
  local name=$1 target=$2
  shift 2
  write_alsa_config "$work/$name.asoundrc" "$target"
  local -a wine_command=(wine "$driver" "$module" "$@")
  (
    export ALSA_CONFIG_PATH="$work/$name.asoundrc"
    export WINEDEBUG=-all,trace+dsound
    if [ -n "${DISPLAY:-}" ]; then
      "${wine_command[@]}"
      status=$?
      wineserver -w
      exit $status
    fi
    exec xvfb-run -a bash -c '"$@"; status=$?; wineserver -w; exit $status' \
      audio-capture "${wine_command[@]}"
  ) >"$work/$name.out" 2>"$work/$name.trace" </dev/null
  local status=$?
  check "$name: driver exited with $status" test $status -eq 0
}

# The loudest sample as a fraction of full scale, and for how many
# milliseconds the signal stays above 2% of full scale: "PEAK LOUD_MS".
measure() {
  local file=$1
  [ -s "$file" ] || { echo "0 0"; return; }
  local tag channels rate bits
  read -r tag channels rate < <(echo "$(od -An -tu2 -j20 -N4 "$file") $(od -An -tu4 -j24 -N4 "$file")")
  bits=$(od -An -tu2 -j34 -N2 "$file" | tr -d ' ')
  local type="d$((bits / 8))" scale
  case "$tag:$bits" in
    1:16) scale=32768 ;;
    1:32) scale=2147483648 ;;
    3:32) type=f4 scale=1 ;;
    *) echo "unknown-format-$tag-$bits 0"; return ;;
  esac
  od -An -v -t"$type" -w$((bits / 8)) -j44 "$file" |
    awk -v scale="$scale" -v channels="$channels" -v rate="$rate" '
      { v = $1 / scale; if (v < 0) v = -v; if (v > peak) peak = v
        if (v > 0.02) loud++ }
      END { printf "%.4f %.1f\n", peak + 0, loud / channels * 1000 / rate }'
}

within() {  # within VALUE LOW HIGH
  awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v + 0 >= lo && v + 0 <= hi) }'
}

count_in() {  # count_in FILE PATTERN
  grep -c -- "$2" "$1" || true
}

# 1. A click is heard; the avionics switch makes no sound.
run_driver click "$work/click.wav" click
read -r peak loud_ms < <(measure "$work/click.wav")
echo "click: peak $peak of full scale, above 2% for $loud_ms ms"
check "click: the capture's peak $peak lies in 0.2..1" within "$peak" 0.2 1
check "click: loud for $loud_ms ms, expected 2..300" within "$loud_ms" 2 300
check "click: events" grep -qx "event 66241=0" "$work/click.out"
check "click: avionics event" grep -qx "event 66293=0" "$work/click.out"
check "click: buffer description" grep -q "DSBCAPS_GLOBALFOCUS" "$work/click.trace"
check "click: one play, for the battery switch only" \
  test "$(count_in "$work/click.trace" "IDirectSoundBufferImpl_Play")" -eq 1
check "click: buffer released" grep -q "secondarybuffer_destroy" "$work/click.trace"
check "click: device released" grep -q "directsound_destroy" "$work/click.trace"
check "click: the host's watch saw one play of the switch click in its format" \
  test "$(grep -c "^played " "$work/click.trace")" -eq 1 -a \
  "$(grep -c "^played 1 1 22050 44100 2 16 3828 bytes, the switch click$" "$work/click.trace")" -eq 1

# 2. Without a click the device hears silence.
run_driver quiet "$work/quiet.wav" quiet
read -r peak loud_ms < <(measure "$work/quiet.wav")
echo "quiet: peak $peak of full scale"
check "quiet: the capture exists" test -s "$work/quiet.wav"
check "quiet: silence, peak $peak" within "$peak" 0 0.001
check "quiet: nothing played" \
  test "$(count_in "$work/quiet.trace" "IDirectSoundBufferImpl_Play")" -eq 0

# 3. No audio device: sound is disabled, everything else is unchanged.
run_driver no_device none click
check "no device: DirectSound was tried" grep -q "DirectSoundCreate" "$work/no_device.trace"
check "no device: no buffer ever made" \
  test "$(count_in "$work/no_device.trace" "CreateSoundBuffer")" -eq 0
check "no device: same events and tooltips" cmp -s "$work/click.out" "$work/no_device.out"
echo "no device: $(paste -sd ' ' "$work/no_device.out")"

# 4. The recordings in the module.
run_driver resources none resources "Z:$root/resources"
for file in switch_click spare_click knob_click; do
  check "resources: $file.wav in the module" \
    grep -q "same as $file.wav" "$work/resources.out"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
