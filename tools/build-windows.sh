#!/usr/bin/env bash
# Cross-builds varnex.exe (and, with --tests, the test executable) for 64-bit Windows with
# Debian's mingw-w64, installing the compiler and the GoogleTest sources when missing.
# The last line printed is the path of varnex.exe.
#   tools/build-windows.sh [--tests] [build directory, default build/windows]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=(varnex)
if [ "${1:-}" = --tests ]; then
  targets+=(varnex_tests)
  shift
fi
build=${1:-$root/build/windows}

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}" >&2
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >&2
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVARNEX_WERROR=ON >&2
cmake --build "$build" -j"${VARNEX_JOBS:-2}" --target "${targets[@]}" >&2
echo "$build/varnex.exe"
