#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each in turn:
#   panel_config    the panel reader, seeded with every panel file in the tree
#   panel_edit      edits of a panel file's document, saved and read back
#   parameter_text  the toggle gauges' parameter-text keys
#   registration    the registration plate's style keys and line
#   scenario        the scenario language, run against a small panel
#   panel_background  the image reader of the panels' window backgrounds
#   module_file     the module file reader (inspect) and its printers
#   http_request    the live server's HTTP request parser and formatters
#   module_loader   the linux32 loader's mapping, relocations and import
#                   binding of damaged modules (never running them)
# Usage: scripts/fuzz.sh [--time SECONDS | RUNS] [TARGET...]
# (default 1000000 runs of every target). Each run starts from the corpus
# committed in tests/fuzz/corpus/TARGET and the inputs earlier runs kept in
# build/fuzz/corpus/TARGET. Any sanitizer finding, failed check, crash,
# time-out or memory blow-up stops it with a non-zero status and leaves the
# input in build/fuzz/ (replay: build/fuzz/TARGET_fuzz FILE).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"
all_targets=(panel_config panel_edit parameter_text registration scenario
  panel_background module_file http_request module_loader)

limit=(-runs=1000000)
if [[ "${1:-}" == "--time" ]]; then
  [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "fuzz.sh: --time needs SECONDS" >&2; exit 2; }
  limit=(-max_total_time="$2")
  shift 2
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  limit=(-runs="$1")
  shift
fi
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" ${target%_fuzz} "* ]] ||
    { echo "fuzz.sh: unknown target '$target' (${all_targets[*]})" >&2; exit 2; }
done

cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
# Only the targets asked for, and what they link.
build_targets=()
for target in "${targets[@]}"; do build_targets+=("${target%_fuzz}_fuzz"); done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}" >/dev/null

passed=0
for target in "${targets[@]}"; do
  target="${target%_fuzz}"
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  if [[ "$target" == panel_config ]]; then
    find "$root/host/sample" "$root/tests" -name '*.cfg' -exec cp {} "$corpus/" \;
  elif [[ "$target" == panel_edit ]]; then
    # The edits' bytes first and their count last, the file between.
    while IFS= read -r -d '' cfg; do
      { head -c 144 /dev/urandom; cat "$cfg"; printf '\005'; } \
        >"$corpus/$(basename "$cfg")"
    done < <(find "$root/host/sample" "$root/tests" -name '*.cfg' -print0)
  elif [[ "$target" == module_loader ]]; then
    seeds=("$root/tests/fuzz/corpus/module_file")
  else
    seeds=("$root/tests/fuzz/corpus/$target")
  fi
  case "$target" in
    scenario) max_len=4096 ;;
    panel_config | panel_edit) max_len=8192 ;;
    registration) max_len=512 ;;
    parameter_text) max_len=128 ;;
    panel_background) max_len=4096 ;;
    module_file | module_loader) max_len=8192 ;;
    http_request) max_len=12288 ;;
  esac
  echo "== $target"
  status=0
  (cd "$build" && "./${target}_fuzz" "${limit[@]}" -max_len="$max_len" \
    -timeout=30 -artifact_prefix="$build/${target}-" -print_final_stats=1 \
    "$corpus" "${seeds[@]}") >"$build/$target.log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")"
  seconds="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/$target.log")"
  if [[ $status -ne 0 ]]; then
    tail -n 40 "$build/$target.log"
    echo "fuzz.sh: $target found a fault (log: $build/$target.log)" >&2
    exit "$status"
  fi
  echo "$target: ${runs:-?} runs in ${seconds:-?} s, no finding"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
