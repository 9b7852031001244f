#!/usr/bin/env bash
# Tests how tools/test-windows.sh meets a Wine that cannot run: under CI the stage fails and
# shows what Wine printed; elsewhere it is skipped. Every case stops before anything is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A wine that prints a line and exits 1, and a wineserver that does nothing.
mkdir "$work/bin"
printf '#!/bin/sh\necho "wine: stub cannot start" >&2\nexit 1\n' >"$work/bin/wine"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
chmod +x "$work/bin/wine" "$work/bin/wineserver"
# A prefix that is a file: a real Wine refuses it at once.
touch "$work/prefix-file"

failures=0
# case name | CI | PATH prefix | WINEPREFIX | expected exit code | text expected on stderr
cases=(
  "broken wine, CI|1|$work/bin||1|wine: stub cannot start"
  "broken wine, CI, FAIL line|1|$work/bin||1|FAIL: Wine cannot start here"
  "broken wine, no CI||$work/bin||0|SKIPPED: Wine cannot start here"
)
if command -v wine >/dev/null; then
  cases+=("prefix that is a file, CI|1||$work/prefix-file|1|FAIL: Wine cannot start here")
fi

for entry in "${cases[@]}"; do
  IFS='|' read -r name ci pathPrefix prefix expected text <<<"$entry"
  set +e
  env -u CI ${ci:+CI=$ci} PATH="${pathPrefix:+$pathPrefix:}$PATH" \
    VARNEX_WINEPREFIX="${prefix:-$work/unused-prefix}" \
    "$root/tools/test-windows.sh" >"$work/out" 2>"$work/err"
  code=$?
  set -e
  if [ "$code" != "$expected" ] || ! grep -qF "$text" "$work/err"; then
    echo "FAIL: $name: exit $code (expected $expected), stderr:" >&2
    sed 's/^/  /' "$work/err" >&2
    failures=$((failures + 1))
  elif grep -q '== Windows build (mingw-w64)' "$work/out"; then
    echo "FAIL: $name: the build started" >&2
    failures=$((failures + 1))
  fi
done
[ $failures = 0 ] || exit 1
echo "test-windows.sh without a working Wine: ${#cases[@]} cases passed"
