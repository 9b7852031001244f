#!/usr/bin/env bash
# Builds the Windows packages of varnex: the installer varnex-<version>-x64.msi (wixl, from
# packaging/windows/varnex.wxs) and the portable varnex-<version>-win64.zip. Installs what it
# needs (Debian: wixl, msitools, zip). Prints the paths of the MSI and the zip as its last two
# lines.
#
#   tools/package-windows.sh [--exe PATH] [--version X.Y.Z] [--out DIR]
#
# --exe      the varnex.exe to package; default: the one tools/build-windows.sh builds
# --version  the package version; default: project(varnex VERSION ...) of CMakeLists.txt
#            (another version only to try upgrades: the executable keeps its own)
# --out      where the packages are written; default: build/windows-package
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=""
version=""
out="$root/build/windows-package"
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--exe PATH] [--version X.Y.Z] [--out DIR]" >&2; exit 2 ;;
  esac
done
out=$(realpath -m "$out")

projectVersion=$(sed -n 's/^project(varnex VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -n "$projectVersion" ] || { echo "no project(varnex VERSION ...) in CMakeLists.txt" >&2; exit 1; }
version=${version:-$projectVersion}
# An MSI ProductVersion: major.minor.build, each field a number (major and minor < 256).
if ! [[ "$version" =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}$ ]]; then
  echo "version $version is not of the form major.minor.build" >&2
  exit 1
fi

need=()
command -v wixl >/dev/null || need+=(wixl)
command -v zip >/dev/null || need+=(zip)
command -v msibuild >/dev/null || need+=(msitools)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}" >&2
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi

if [ -z "$exe" ]; then
  exe=$("$root/tools/build-windows.sh" | tail -n 1)
fi
[ -f "$exe" ] || { echo "no varnex.exe at $exe" >&2; exit 1; }

# Text files get Windows line ends. The task definition is a template, ASCII: varnex-setup.cmd
# writes varnex-task.xml from it with the directories of the installation.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }
stage="$out/stage-$version"
rm -rf "$stage"
mkdir -p "$stage"
cp "$exe" "$stage/varnex.exe"
# The settings example: a header of its own, then the keys and comments of the example of the
# other builds with the data directories of the installer and a MinFileAge for a scheduled
# task, which has no trigger on a file's arrival.
windowsSettings() {
  cat "$root/packaging/windows/varnex.ini.head"
  sed -n '/^\[General\]/,$p' "$root/packaging/varnex.ini.example" |
    sed -e 's|^InputPath=.*|InputPath=C:\\ProgramData\\varnex\\input\\|' \
      -e 's|^OutputPath=.*|OutputPath=C:\\ProgramData\\varnex\\output\\|' \
      -e 's|^BackupPath=.*|BackupPath=C:\\ProgramData\\varnex\\backup\\|' \
      -e 's|^LogPath=.*|LogPath=C:\\ProgramData\\varnex\\log\\|' \
      -e '/^MinFileAge=/i\
; The scheduled task runs at fixed times and may meet a file that is still being copied:\
; whoever delivers files should write them under another name (PAY.HUA.tmp) and rename them\
; to *.HUA or *.INT when complete; this age keeps a file written in place waiting.' \
      -e 's|^MinFileAge=.*|MinFileAge=60|'
}
windowsSettings >"$stage/settings"
for line in 'InputPath=C:\ProgramData\varnex\input\' 'OutputPath=C:\ProgramData\varnex\output\' \
  'BackupPath=C:\ProgramData\varnex\backup\' 'LogPath=C:\ProgramData\varnex\log\' MinFileAge=60; do
  grep -qxF "$line" "$stage/settings" || { echo "settings example: no line $line" >&2; exit 1; }
done
crlf "$stage/settings" "$stage/varnex.ini.example"
rm "$stage/settings"
crlf "$root/packaging/windows/varnex-setup.cmd" "$stage/varnex-setup.cmd"
crlf "$root/README.md" "$stage/README.md"
crlf "$root/LICENSE" "$stage/LICENSE.txt"
crlf "$root/packaging/windows/varnex-task.xml.template" "$stage/varnex-task.xml.template"
cp "$root/packaging/windows/varnex.wxs" "$stage/varnex.wxs"

msi="$out/varnex-$version-x64.msi"
rm -f "$msi"
# wixl may end with status 0 after an error: the file tells.
(cd "$stage" && wixl -a x64 -D Version="$version" -o "$msi" varnex.wxs)
[ -s "$msi" ] || { echo "wixl wrote no $msi" >&2; exit 1; }
# The removal deletes the varnex-task.xml that varnex-setup.cmd wrote (wixl has no RemoveFile
# element; the row is added to the built package). InstallMode 2: on removal only.
printf '%s\r\n' $'FileKey\tComponent_\tFileName\tDirProperty\tInstallMode' \
  $'s72\ts72\tL255\ts72\ti2' $'RemoveFile\tFileKey' \
  $'TaskDefinition\tDocuments\tvarnex-task.xml\tINSTALLDIR\t2' >"$stage/RemoveFile.idt"
msibuild "$msi" -i "$stage/RemoveFile.idt"
rm "$stage/RemoveFile.idt"

# The zip unpacks into varnex-<version>\; it holds no varnex.ini, so unpacking it over an
# installation never replaces the settings.
zipFile="$out/varnex-$version-win64.zip"
rm -f "$zipFile"
folder="$out/zip-$version/varnex-$version"
rm -rf "$out/zip-$version"
mkdir -p "$folder"
cp "$stage/varnex.exe" "$stage/varnex.ini.example" "$stage/varnex-setup.cmd" \
  "$stage/varnex-task.xml.template" "$stage/README.md" "$stage/LICENSE.txt" "$folder/"
(cd "$out/zip-$version" && zip -q -X -r "$zipFile" "varnex-$version")
rm -rf "$out/zip-$version" "$stage/varnex.wxs"

echo "$msi"
echo "$zipFile"
