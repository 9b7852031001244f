#!/usr/bin/env bash
# Builds the portable zip of the Windows build: varnex.exe, varnex.ini (the commented example,
# in CR LF, with a MinFileAge for scheduled runs), the scheduled task, the README and the
# license. Prints the path of the zip as its last line. (No MSI yet.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/windows-package}
command -v zip >/dev/null || {
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq zip >&2
}
exe=$("$root/tools/build-windows.sh" | tail -1)
version=$(sed -n 's/^project(varnex VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
stage=$out/varnex-$version
rm -rf "$stage" "$stage-win64.zip"
mkdir -p "$stage"
cp "$exe" "$stage/varnex.exe"
# Windows spelling of the comments; scheduled runs leave files younger than a minute alone,
# as the sender may still be writing them.
sed -e "s/ (the real file, after\$/,/" -e "s/^; symbolic links are followed), never/; never/" \
  -e "s/end in one '\\/'/end in one '\\\\'/" -e 's/^MinFileAge=0$/MinFileAge=60/' \
  "$root/packaging/varnex.ini.example" | sed 's/$/\r/' >"$stage/varnex.ini"
# schtasks reads the task in UTF-16.
sed '1s/encoding="UTF-8"/encoding="UTF-16"/' "$root/packaging/windows/varnex-task.xml" |
  sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16 >"$stage/varnex-task.xml"
sed 's/$/\r/' "$root/README.md" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
(cd "$out" && zip -q -X -r "varnex-$version-win64.zip" "varnex-$version")
echo "$out/varnex-$version-win64.zip"
