#!/usr/bin/env bash
# Runs every fuzz target for a fixed number of executions over a copy of its seed corpus.
#   fuzz/run.sh BUILD_DIR RUNS
# BUILD_DIR holds the targets (configured with -DVARNEX_FUZZ=ON). Each target starts from its
# seed corpus plus the inputs of fuzz/regressions/ that once made it fail. The tracked
# directories are never written: each target works in its own temporary copy, removed
# afterwards. A crashing input
# is kept as BUILD_DIR/fuzz-artifacts/<target>-crash-<sha1>. Exits non-zero when any target
# fails.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR RUNS" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
runs=$2
here=$(cd "$(dirname "$0")" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/varnex-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

# target, corpus directory, extra options
targets=(
  "mt_reader_fuzz mt_reader -max_len=65536"
  "settings_fuzz settings"
  "conversion_fuzz conversion -max_len=65536"
  "mutation_fuzz mutation -max_len=4096 -len_control=0"
)

failed=0
for entry in "${targets[@]}"; do
  read -r target corpus extra <<<"$entry"
  binary="$build/$target"
  if [ ! -x "$binary" ]; then
    echo "$target: not built in $build"
    failed=1
    continue
  fi
  mkdir -p "$work/$corpus"
  cp "$here/corpus/$corpus/"* "$work/$corpus/"
  # Inputs that once failed run first with the seeds.
  if [ -d "$here/regressions/$corpus" ]; then
    cp "$here/regressions/$corpus/"* "$work/$corpus/"
  fi
  start=$SECONDS
  # shellcheck disable=SC2086  # $extra holds zero or more options
  if "$binary" -runs="$runs" -rss_limit_mb=2048 -timeout=10 $extra \
    -artifact_prefix="$artifacts/$target-" "$work/$corpus" >"$work/$target.log" 2>&1; then
    echo "$target: $runs runs passed in $((SECONDS - start)) s"
  else
    echo "$target: FAILED after $((SECONDS - start)) s; the end of its output:"
    tail -n 60 "$work/$target.log"
    failed=1
  fi
done
exit $failed
