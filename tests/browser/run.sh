#!/usr/bin/env bash
# The live panel page's browser tests: starts `corvelain_host serve` on the
# sample panel on a free port, with a sheets folder, runs node's test runner
# over the tests here in Debian's Chromium (headless, a fresh profile each),
# then stops the server with Ctrl-C (SIGINT) as a user would, and fails
# unless it exits 0. Exits 77, which ctest counts as skipped, where Chromium,
# node or the npm packages are missing.
#
#   tests/browser/run.sh HOST_PROGRAM [TEST_FILE ...]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
host="${1:?usage: tests/browser/run.sh HOST_PROGRAM [TEST_FILE ...]}"
shift

skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ -x /usr/bin/chromium ] ||
  skip "/usr/bin/chromium is missing (Debian package chromium, which scripts/setup.sh installs)"
command -v node >/dev/null || skip "node is missing"
[ -f "$here/node_modules/playwright-core/package.json" ] ||
  skip "tests/browser/node_modules is missing (scripts/setup.sh runs npm ci there)"

work=$(mktemp -d)
pid=
stop_server() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -INT "$pid"
    for _ in $(seq 200); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

"$host" serve --panel "$root/host/sample/panel.cfg" --port 0 \
  --sheets "$work/sheets" >"$work/stdout" 2>"$work/stderr" &
pid=$!
url=
for _ in $(seq 600); do
  line=$(head -n 1 "$work/stdout")
  if [[ "$line" =~ ^serving\ (http://[^ ]+/)$ ]]; then
    url="${BASH_REMATCH[1]}"
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "run.sh: the server printed no 'serving' line:" >&2
  cat "$work/stdout" "$work/stderr" >&2
  exit 1
fi
echo "run.sh: $url (pid $pid)"

tests=("$@")
[ ${#tests[@]} -gt 0 ] || tests=("$here"/*.test.mjs)
CORVELAIN_URL="$url" CORVELAIN_HOST="$host" CORVELAIN_ROOT="$root" \
  node --test --test-concurrency=1 --test-timeout=180000 "${tests[@]}"
status=$?

kill -INT "$pid"
wait "$pid"
server_status=$?
pid=
if [ "$server_status" -ne 0 ]; then
  echo "run.sh: serve exited $server_status after SIGINT" >&2
  cat "$work/stderr" >&2
  status=1
fi
exit $status
