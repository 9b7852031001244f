#!/usr/bin/env bash
# Builds and runs the whole test suite: the unit and end-to-end tests, the documents of the
# examples and of generated files validated with xmllint, the same tests under
# AddressSanitizer and UBSan and under ThreadSanitizer (a file's passes run on two threads), a
# short run of every fuzz target, the Windows stage's handling of a Wine that cannot run, and
# the format check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
VARNEX_NEED_FUZZ=1 VARNEX_NEED_FORMAT=1 "$root/tools/install-deps.sh"
jobs=2

echo "== tests"
cmake -S "$root" -B "$root/build/debug" -DCMAKE_BUILD_TYPE=Debug -DVARNEX_WERROR=ON >/dev/null
cmake --build "$root/build/debug" -j$jobs
(cd "$root/build/debug" && ctest --output-on-failure -j$jobs)

echo "== the documents of both versions against their schemas, with xmllint"
"$root/tools/validate-documents.sh" "$root/build/debug"

echo "== tests under AddressSanitizer and UBSan"
cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DVARNEX_SANITIZE=ON \
  -DVARNEX_WERROR=ON >/dev/null
cmake --build "$root/build/asan" -j$jobs --target varnex_tests varnex
(cd "$root/build/asan" && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j$jobs)

echo "== tests under ThreadSanitizer"
cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DVARNEX_TSAN=ON \
  -DVARNEX_WERROR=ON >/dev/null
cmake --build "$root/build/tsan" -j$jobs --target varnex_tests varnex
# The crash simulations run on one thread (their file system seam does not write from two);
# they are left to the runs above.
(cd "$root/build/tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$jobs \
  -E 'FileCommitTest\.(EveryCrash|CrashDuringRecovery)')

if [ -f "$root/fuzz/sources.cmake" ]; then
  echo "== fuzz targets, short runs"
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNEX_FUZZ=ON >/dev/null
  cmake --build "$root/build/fuzz" -j$jobs
  "$root/fuzz/run.sh" "$root/build/fuzz" "${VARNEX_FUZZ_RUNS:-20000}"
fi

echo "== the Windows stage without a working Wine"
"$root/tools/test-windows-stage-test.sh"

echo "== format"
cd "$root"
git ls-files '*.h' '*.cc' | xargs clang-format --dry-run --Werror
echo "All tests passed."
