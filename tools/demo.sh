#!/usr/bin/env bash
# Builds the converter and runs it in input directory mode on the bundled examples, in a
# fresh run directory (build/demo/), so the tracked examples stay untouched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"

cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build/release" -j2 --target varnex

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/input" "$demo/output" "$demo/backup"
cp "$root/build/release/varnex" "$root/examples/varnex.ini" "$demo/"
cp "$root/examples/input/"* "$demo/input/"

set +e
(cd "$demo" && ./varnex -c)
code=$?
set -e
echo
echo "Exit code: $code"
echo "Outputs (build/demo/output):"
ls -l "$demo/output"
echo "Backups (build/demo/backup):"
ls -l "$demo/backup"
echo "Daily log: $(ls "$demo"/log/*.log)"
exit "$code"
