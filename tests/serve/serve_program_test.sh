#!/usr/bin/env bash
# corvelain_host serve as a user runs it: on a free port it prints where it
# serves, answers /state there, refuses a request for another host, and
# stops cleanly with exit status 0 on Ctrl-C (SIGINT). A panel file with an
# error stops it at the start with status 2, naming file and line.
# Usage: serve_program_test.sh CORVELAIN_HOST PANEL_FILE
set -uo pipefail
host="$1" panel="$2"
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill -KILL "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err"
  exit 1
}

"$host" serve --panel "$panel" --port 0 >"$work/out" 2>"$work/err" &
server=$!
# The first line says where; the program builds the panel first.
for _ in $(seq 1 300); do
  grep -q '^serving ' "$work/out" && break
  kill -0 "$server" 2>/dev/null || fail "the server ended before serving"
  sleep 0.1
done
line=$(head -n 1 "$work/out")
[[ "$line" =~ ^serving\ http://127\.0\.0\.1:([0-9]+)/$ ]] ||
  fail "first line is '$line'"
port="${BASH_REMATCH[1]}"
[ "$port" != 0 ] || fail "port 0 printed"

state=$(curl -s --max-time 10 "http://127.0.0.1:$port/state") ||
  fail "no answer to /state"
[[ "$state" == '{"frame":'* && "$state" == *'"windows":[{"window":0,'* ]] ||
  fail "/state answered '${state:0:200}'"
status=$(curl -s --max-time 10 -o /dev/null -w '%{http_code}' \
  -H "Host: elsewhere.example:$port" "http://127.0.0.1:$port/state")
[ "$status" = 403 ] || fail "a request for another host got $status"

kill -INT "$server"
wait "$server"
status=$?
server=""
[ "$status" = 0 ] || fail "exit status $status after SIGINT"

printf '[Window00]\nsize_mm=10,10\nvisible=1\ngauge00=Corvelain_Instr!Nope, 0, 0\n' \
  >"$work/broken.cfg"
"$host" serve --panel "$work/broken.cfg" --port 0 >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 2 ] || fail "a broken panel file gave status $status"
grep -q "broken.cfg:4: module \"Corvelain_Instr\" holds no gauge named \"Nope\"" \
  "$work/err" || fail "the broken panel file's message"
[ ! -s "$work/out" ] || fail "a broken panel file printed '$(cat "$work/out")'"
echo "passed"
