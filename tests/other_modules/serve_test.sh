#!/usr/bin/env bash
# serve with another module's gauges: the page's state lists them by
# MODULE!GAUGE, a click from the page sends the dial's event, the stops are
# in the transcript, and a window picture is served.
# Usage: serve_test.sh RUNNER CORVELAIN_HOST PANEL_FILE [HOST_ARGS...]
set -uo pipefail
runner="$1" host="$2" panel="$3"
shift 3
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill -KILL "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  sed 's/^/  stderr: /' "$work/err"
  exit 1
}

"$runner" "$host" serve --panel "$panel" --port 0 "$@" >"$work/out" \
  2>"$work/err" &
server=$!
for _ in $(seq 1 300); do
  grep -q '^serving ' "$work/out" && break
  if ! kill -0 "$server" 2>/dev/null; then
    if grep -h '^SKIPPED: ' "$work/out" "$work/err"; then exit 77; fi
    fail "the server ended before serving"
  fi
  sleep 0.1
done
[[ "$(head -n 1 "$work/out")" =~ ^serving\ http://127\.0\.0\.1:([0-9]+)/$ ]] ||
  fail "first line is '$(head -n 1 "$work/out")'"
url="http://127.0.0.1:${BASH_REMATCH[1]}"

state=$(curl -s --max-time 10 "$url/state") || fail "no answer to /state"
[[ "$state" == *'"ref":"Other_Gauges!Fuel_Dial"'* ]] ||
  fail "/state lists no Other_Gauges!Fuel_Dial: ${state:0:300}"
answer=$(curl -s --max-time 10 -X POST --data \
  'click Other_Gauges!Fuel_Dial 30 30' "$url/command") ||
  fail "no answer to the click"
[[ "$answer" == *'"events":[{"event":69709,"value":0}]'* ]] ||
  fail "the click answered '$answer'"
transcript=$(curl -s --max-time 10 "$url/transcript")
[[ "$transcript" == *'Other_Gauges!Wants_Service_12 called service entry 12, which this host does not provide: the gauge is stopped'* ]] ||
  fail "no stop in the transcript: ${transcript:0:600}"
status=$(curl -s --max-time 10 -o "$work/window.png" -w '%{http_code}' \
  "$url/window/0.png")
[ "$status" = 200 ] || fail "/window/0.png answered $status"
echo "passed"
