#!/usr/bin/env bash
# corvelain_host serve as a user runs it: on a free port it prints where it
# serves, answers /state there, serves the sheets folder it is given (and no
# file beside it), refuses a request for another host, and stops cleanly
# with exit status 0 on Ctrl-C (SIGINT). A panel file with an error stops it
# at the start with status 2, naming file and line.
# Usage: serve_program_test.sh CORVELAIN_HOST PANEL_FILE [RUNNER]
# With RUNNER (scripts/wine-run.sh) the Windows host runs under Wine, loading
# the real module, and with scripts/run32.sh the linux32 host maps it; where Wine cannot run, the runner's "SKIPPED: " line is
# passed on with status 77.
set -uo pipefail
host="$1" panel="$2" runner="${3:-}"
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

mkdir "$work/sheets"
printf '<!doctype html>\n<title>sheets</title>\n' >"$work/sheets/index.html"
echo secret >"$work/secret.txt"
$runner "$host" serve --panel "$panel" --port 0 --sheets "$work/sheets" \
  >"$work/out" 2>"$work/err" &
server=$!
# The first line says where; the program builds the panel first.
for _ in $(seq 1 300); do
  grep -q '^serving ' "$work/out" && break
  if ! kill -0 "$server" 2>/dev/null; then
    if grep -h '^SKIPPED: ' "$work/out" "$work/err"; then exit 77; fi
    fail "the server ended before serving"
  fi
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
sheets=$(curl -s --max-time 10 "http://127.0.0.1:$port/sheets/") ||
  fail "no answer to /sheets/"
[ "$sheets" = "$(cat "$work/sheets/index.html")" ] ||
  fail "/sheets/ answered '${sheets:0:200}'"
for target in '/sheets/..%2Fsecret.txt' '/sheets/%2E%2E/secret.txt' \
  '/sheets/..%5Csecret.txt' '/sheets/../secret.txt'; do
  status=$(curl -s --max-time 10 --path-as-is -o /dev/null -w '%{http_code}' \
    "http://127.0.0.1:$port$target")
  [ "$status" = 400 ] || [ "$status" = 404 ] || fail "$target got $status"
done

# Under Wine the program is a process of its own below the runner's; Ctrl-C
# goes to it, as a console would send it. scripts/run32.sh replaces itself
# with the program (or with qemu-i386, which passes the signal on).
target="$server"
if [ -n "$runner" ] && [[ "$runner" != *run32.sh ]]; then
  target=$(pgrep -n -f 'corvelain_host\.exe serve') || fail "no Windows host process"
fi
kill -INT "$target"
for _ in $(seq 1 300); do
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$server" 2>/dev/null && fail "still running 30 s after Ctrl-C"
wait "$server"
status=$?
server=""
[ "$status" = 0 ] || fail "exit status $status after SIGINT"

printf '[Window00]\nsize_mm=10,10\nvisible=1\ngauge00=Corvelain_Instr!Nope, 0, 0\n' \
  >"$work/broken.cfg"
$runner "$host" serve --panel "$work/broken.cfg" --port 0 >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 2 ] || fail "a broken panel file gave status $status"
grep -q "broken.cfg:4: module \"Corvelain_Instr\" holds no gauge named \"Nope\"" \
  "$work/err" || fail "the broken panel file's message"
[ ! -s "$work/out" ] || fail "a broken panel file printed '$(cat "$work/out")'"
echo "passed"
