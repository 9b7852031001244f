#!/usr/bin/env bash
# Installs the packages the build and the tests need, when they are missing (Debian).
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/libxml2/libxml/xmlschemas.h ] || need+=(libxml2-dev)
command -v xmllint >/dev/null || need+=(libxml2-utils)
if [ "${VARNEX_NEED_FUZZ:-0}" = 1 ]; then
  command -v clang++ >/dev/null || need+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    need+=(libclang-rt-dev)
fi
if [ "${VARNEX_NEED_FORMAT:-0}" = 1 ]; then
  command -v clang-format >/dev/null || need+=(clang-format)
fi

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}"
fi
