#!/usr/bin/env bash
# Measures what a frame costs in the module, the host and the renderer, and
# what loading the module costs under Wine and in the linux32 host (P5, H2:
# natively or under qemu-i386, the row says which), on the sample panel with every
# window open, and what the live panel costs as its page shows it in
# Chromium (benchmarks/serve_bench.mjs); prints one Markdown table
# (BENCHMARKS.md says what each row counts). Not a test: nothing here passes
# or fails on a figure.
#
#   scripts/bench.sh [--quick]
#
# --quick runs few frames and iterations: every figure, none of them steady.
# The native side is a Release build without sanitizers in build/release;
# the Windows side is the Windows build in build/windows (another with
# BENCH_WINDOWS_BUILD=DIR), configured here if it is not there yet. A
# figure that cannot be measured on this machine (P3 where it cannot run
# 32-bit programs, scripts/win32-probe.sh; S1 to S3 without Chromium or the
# browser tests' npm packages) keeps its row, which says "not measured:" and
# why; the exit status is 0 unless something that ran failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release="$root/build/release"
windows="${BENCH_WINDOWS_BUILD:-$root/build/windows}"
linux32="${BENCH_LINUX32_BUILD:-$root/build/linux32}"
jobs=$(nproc)
[ "$jobs" -gt 8 ] && jobs=8

quick=false
case "${1:-}" in
  --quick) quick=true ;;
  "") ;;
  *)
    echo "usage: scripts/bench.sh [--quick]" >&2
    exit 2
    ;;
esac
if $quick; then
  module_frames=90 host_frames=900 wine_runs=1 min_time=0.02 sheet_runs=1
else
  module_frames=1800 host_frames=18000 wine_runs=7 min_time=1 sheet_runs=3
fi

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$release" -DCMAKE_BUILD_TYPE=Release \
  -DWITH_SANITIZERS=OFF >/dev/null
cmake --build "$release" -j"$jobs" --target corvelain_host frame_benchmark \
  serve_benchmark >/dev/null
if [ ! -f "$windows/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$windows" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$windows" -j"$jobs" \
  --target corvelain_instr corvelain_host bare_program >/dev/null
if [ ! -f "$linux32/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$linux32" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i386.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DWINDOWS_BUILD="$windows" >/dev/null
fi
cmake --build "$linux32" -j"$jobs" --target corvelain_host bare_program \
  >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
panel="$root/host/sample/panel.cfg"
all_windows="$root/benchmarks/all_windows.scn"
host="$release/host/corvelain_host"

# A script opening every window of the sample panel, then running N frames.
frames_script() {
  cat "$all_windows" >"$work/frames_$1.scn"
  echo "frames $1" >>"$work/frames_$1.scn"
  echo "$work/frames_$1.scn"
}

now_ns() { date +%s%N; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# P1: instructions executed inside the module's notice 6 and element
# callbacks (entered through the host's two out-of-line callers), the host
# services they call left out; the run with N frames less the run with none.
module_instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.$1" \
    --collect-atstart=no \
    --toggle-collect='*send_update_notice*' \
    --toggle-collect='*element_callback_value*' \
    --toggle-collect='*lookup_var_service*' \
    --toggle-collect='*trigger_key_event_service*' \
    --toggle-collect='*panel_window_toggle_service*' \
    --toggle-collect='*execute_calculator_code_service*' \
    "$host" --panel "$panel" --script "$(frames_script "$1")" \
    >/dev/null 2>"$work/callgrind.$1.log"
  awk '/^(summary|totals):/ { print $2; exit }' "$work/callgrind.$1"
}
module_none=$(module_instructions 0)
module_many=$(module_instructions "$module_frames")
p1=$(((module_many - module_none) / module_frames))

# H1: the whole headless run, start-up included, against the simulated time.
h1_script=$(frames_script "$host_frames")
h1_runs=()
for _ in 1 2 3; do
  start=$(now_ns)
  "$host" --panel "$panel" --script "$h1_script" >/dev/null
  h1_runs+=($(($(now_ns) - start)))
done
h1_ns=$(printf '%s\n' "${h1_runs[@]}" | median)
h1=$(awk -v f="$host_frames" -v ns="$h1_ns" 'BEGIN { printf "%.0f", f / 18 / (ns / 1e9) }')

# C1: calibration plots and contact sheets of every gauge, the whole process,
# drawn afresh each run; the same from the Windows build's module file read
# as records.
sheet_time() {
  local runs=() start
  for _ in $(seq "$sheet_runs"); do
    rm -rf "$work/sheets"
    start=$(now_ns)
    "$host" sheet all --out "$work/sheets" "$@" >/dev/null
    runs+=($(($(now_ns) - start)))
  done
  printf '%s\n' "${runs[@]}" | median
}
c1_ns=$(sheet_time)
c1_records_ns=$(sheet_time --module "$windows/Corvelain_Instr.gau")

# P2: Google Benchmark, one frame = the update of every open window and the
# drawing of one window; its CPU time, which other work on the machine
# disturbs less than the wall clock.
"$release/benchmarks/frame_benchmark" --benchmark_min_time="$min_time" \
  --benchmark_format=csv >"$work/frames.csv" 2>/dev/null

# S3, S4: the live server's work for one frame a watching page receives,
# and for one `set` line it sends.
"$release/benchmarks/serve_benchmark" --benchmark_min_time="$min_time" \
  --benchmark_format=csv >"$work/serve.csv" 2>/dev/null

# P3: whole processes under Wine, median of several runs each.
p3_unmeasured=
if ! why=$(bash "$root/scripts/win32-probe.sh"); then
  p3_unmeasured="not measured: $why"
fi
wine_time() {
  local runs=() start
  for _ in $(seq "$wine_runs"); do
    start=$(now_ns)
    bash "$root/scripts/wine-run.sh" "$@" >/dev/null 2>&1
    runs+=($(($(now_ns) - start)))
  done
  printf '%s\n' "${runs[@]}" | median
}
if [ -z "$p3_unmeasured" ]; then
  # One run first so that both timings find the Wine prefix made.
  bash "$root/scripts/wine-run.sh" "$windows/benchmarks/bare_program.exe" \
    >/dev/null 2>&1
  bare_ns=$(wine_time "$windows/benchmarks/bare_program.exe")
  loaded_ns=$(wine_time "$windows/corvelain_host.exe" --panel "$panel" \
    --script "$all_windows")
fi

# P5 and H2: the linux32 host on the real module, natively or under
# qemu-i386 as scripts/run32.sh chooses, whole processes, median of several.
run32_how=$(bash "$root/scripts/run32.sh" --how)
run32_time() {
  local runs=() start
  for _ in $(seq "$wine_runs"); do
    start=$(now_ns)
    bash "$root/scripts/run32.sh" "$@" >/dev/null 2>&1
    runs+=($(($(now_ns) - start)))
  done
  printf '%s\n' "${runs[@]}" | median
}
linux32_bare_ns=$(run32_time "$linux32/benchmarks/bare_program")
linux32_loaded_ns=$(run32_time "$linux32/host/corvelain_host" --panel "$panel" \
  --script "$all_windows")
h2_ns=$(run32_time "$linux32/host/corvelain_host" --panel "$panel" \
  --script "$h1_script")
h2=$(awk -v f="$host_frames" -v ns="$h2_ns" 'BEGIN { printf "%.0f", f / 18 / (ns / 1e9) }')

# P4: the module file and what it carries.
gau_bytes=$(stat -c %s "$windows/Corvelain_Instr.gau")
bitmap_count=$(find "$windows/generated/artwork" -name '*.bmp' | wc -l)
bitmap_bytes=$(find "$windows/generated/artwork" -name '*.bmp' -printf '%s\n' |
  awk '{ s += $1 } END { print s + 0 }')
wave_count=$(find "$root/resources" -name '*.wav' | wc -l)
wave_bytes=$(find "$root/resources" -name '*.wav' -printf '%s\n' |
  awk '{ s += $1 } END { print s + 0 }')

# S1-S3: the live panel served by the Release host, its page in Chromium.
serve_unmeasured=
if [ ! -x /usr/bin/chromium ]; then
  serve_unmeasured="not measured: /usr/bin/chromium is missing (scripts/setup.sh installs it)"
elif ! command -v node >/dev/null; then
  serve_unmeasured="not measured: node is missing"
elif [ ! -f "$root/tests/browser/node_modules/playwright-core/package.json" ]; then
  serve_unmeasured="not measured: tests/browser/node_modules is missing (scripts/setup.sh runs npm ci)"
fi
serve_rows=
if [ -z "$serve_unmeasured" ]; then
  # The page is driven in a real browser on a shared machine: a run that
  # stalls (a wait of the page's that times out) is said and run once more;
  # a second failure fails the script.
  for attempt in 1 2; do
    if serve_rows=$(node "$root/benchmarks/serve_bench.mjs" "$host" --rows \
      $($quick && echo --quick) 2>"$work/serve_bench.log"); then
      break
    fi
    cat "$work/serve_bench.log" >&2
    [ "$attempt" -eq 2 ] && exit 1
    echo "bench.sh: the page's benchmark failed (above); running it again" >&2
  done
fi

kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB", b / 1024 }'; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.0f ms", ns / 1e6 }'; }

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Machine: ${cpu:-unknown}, $(nproc) cores, $(uname -sm)$($quick && echo ', --quick')"
echo
echo "| figure | what | measured | goal |"
echo "|---|---|---|---|"
echo "| P1 | the module's own cost of one full-panel frame (every window open) | $p1 instructions (mean of $module_frames frames) | at most 10,000 |"
echo "| H1 | headless host, full sample panel, no pictures ($host_frames frames, whole process) | $h1 x real time ($(ms "$h1_ns")) | at least 10,000 x |"
awk -F, -v goal_size=1024x768 '
  $1 ~ /^"frame\// {
    name = $1; gsub(/"/, "", name)
    split(name, part, "/")
    unit = $5; gsub(/"/, "", unit)
    t = $4 / (unit == "us" ? 1000 : unit == "ns" ? 1e6 : 1)
    goal = part[3] == goal_size ? "at most 2 ms" : "-"
    printf "| P2 | one frame of [%s] at %s, update and render | %.2f ms | %s |\n",
      part[2], part[3], t, goal
  }
  $1 ~ /^"update\// {
    unit = $5; gsub(/"/, "", unit)
    t = $4 * (unit == "ms" ? 1000 : unit == "ns" ? 0.001 : 1)
    printf "| P2 | the update alone, every window open (host and module) | %.1f us | - |\n", t
  }' "$work/frames.csv"
awk -F, '
  $1 ~ /^"serve\/Window/ {
    unit = $5; gsub(/"/, "", unit)
    t = $4 / (unit == "us" ? 1000 : unit == "ns" ? 1e6 : 1)
    printf "| S3 | the live server, one frame of [Window00] at 1024x768 to a watching page: frame, drawing again what changed, tile comparison, events, changed tiles answered | %.3f ms | at most 1.5 ms |\n", t
  }
  $1 ~ /^"serve\/set_line/ {
    unit = $5; gsub(/"/, "", unit)
    t = $4 * (unit == "ms" ? 1000 : unit == "ns" ? 0.001 : 1)
    printf "| S4 | one set line from a watching page: read, run, answered, its events put into words | %.1f us | at most 50 us |\n", t
  }' "$work/serve.csv"
echo "| C1 | corvelain_host sheet all: every gauge swept, plotted and drawn in its states (60 gauges, whole process, median of $sheet_runs) | $(ms "$c1_ns") | at most 30 s |"
echo "| C1 | the same from the module file's records (sheet all --module Corvelain_Instr.gau) | $(ms "$c1_records_ns") | - |"
p3_what="under Wine: host loading the module and installing every gauge, less a bare program"
if [ -n "$p3_unmeasured" ]; then
  echo "| P3 | $p3_what | $p3_unmeasured | at most 300 ms |"
else
  echo "| P3 | $p3_what | $(ms $((loaded_ns - bare_ns))) ($(ms "$loaded_ns") against $(ms "$bare_ns"), ratio $(awk -v a="$loaded_ns" -v b="$bare_ns" 'BEGIN { printf "%.2f", a / b }'), median of $wine_runs) | at most 300 ms |"
fi
echo "| P5 | linux32 ($run32_how): host mapping the real module and installing every gauge, less a bare linux32 program | $(ms $((linux32_loaded_ns - linux32_bare_ns))) ($(ms "$linux32_loaded_ns") against $(ms "$linux32_bare_ns"), median of $wine_runs) | - |"
echo "| H2 | linux32 ($run32_how): headless host on the real module, full sample panel, no pictures ($host_frames frames, whole process) | $h2 x real time ($(ms "$h2_ns")) | - |"
echo "| P4 | Corvelain_Instr.gau | $(kib "$gau_bytes") | - |"
echo "| P4 | its bitmaps ($bitmap_count) and recordings ($wave_count) | $(kib "$bitmap_bytes") and $(kib "$wave_bytes") | - |"
if [ -n "$serve_unmeasured" ]; then
  echo "| S1 | the page draws every frame of the main window, instruments moving | $serve_unmeasured | - |"
  echo "| S2 | a click on the battery switch from the page to its new pixels on the canvas | $serve_unmeasured | - |"
  echo "| S3 | server CPU per frame delivered to the page | $serve_unmeasured | - |"
else
  echo "$serve_rows"
fi
