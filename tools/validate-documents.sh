#!/usr/bin/env bash
# Converts the bundled examples and generated HUA and INT files with each document version and
# address form, and validates every SEPA document written against its schema with xmllint.
# Usage: tools/validate-documents.sh [BUILD_DIR]  (default build/debug, with varnex and
# varnex_bench built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/debug}
xsd=$root/tests/data/xsd
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "validate-documents: $*" >&2; exit 1; }
[ -x "$build/varnex" ] && [ -x "$build/varnex_bench" ] || fail "build $build first"

"$build/varnex_bench" --generate HUA 2000 "$work/GEN.HUA"
"$build/varnex_bench" --generate INT 2000 "$work/GEN.INT"
documents=0
for variant in "Format=pain.001.001.03" "Format=pain.001.001.03;Address=hybrid" \
  "Format=pain.001.001.09" "Format=pain.001.001.09;AddressWithoutTown=omit"; do
  run=$work/run
  rm -rf "$run" && mkdir -p "$run/input" "$run/output" "$run/backup"
  cp "$build/varnex" "$run/"
  cp "$root/examples/input/"* "$work/GEN.HUA" "$work/GEN.INT" "$run/input/"
  # The generated files share one :01:. The 2019 version carries the service level SEPA only,
  # the urgent orders' too.
  sed -e '/^\[SEPA\]/,$d' -e 's/^\[General\]/[General]\nRejectReusedMsgId=0/' \
    "$root/examples/varnex.ini" >"$run/varnex.ini"
  case $variant in *pain.001.001.09*) sed -i 's/^TrgtKeyword=URGP/TrgtKeyword=SEPA/' "$run/varnex.ini" ;; esac
  { echo "[SEPA]"; tr ';' '\n' <<<"$variant"; } >>"$run/varnex.ini"
  (cd "$run" && ./varnex -c >"$run/console.txt") || fail "$variant: exit $?: $(tail -5 "$run/console.txt")"
  schema=$xsd/pain.001.001.03.xsd
  case $variant in *pain.001.001.09*) schema=$xsd/EPC132-08_2025_V1.0_pain.001.001.09.xsd ;; esac
  for doc in "$run"/output/*.CC?; do
    xmllint --noout --schema "$schema" "$doc" 2>"$work/xmllint.txt" ||
      fail "$variant: $(basename "$doc"): $(head -5 "$work/xmllint.txt")"
    documents=$((documents + 1))
  done
done
echo "validate-documents: $documents documents valid against their schemas"
