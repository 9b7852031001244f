#!/usr/bin/env bash
# Tests the Windows packages: the scheduled-task template (parsed, its required elements and
# values, and what README.md and docs/windows.md say of it, of the upgrade and removal, and of
# the zip); the MSI and the zip built by tools/package-windows.sh (their tables and contents,
# the version); then, under Wine in a prefix of its own, the MSI installed silently, the task
# definition varnex-setup.cmd wrote, the installed varnex.exe converting the examples with
# outputs compared to those of the Linux build, an upgrade by a newer MSI while a run holds
# varnex.exe, keeping an edited varnex.ini, a downgrade refused, the removal keeping settings and
# data, an installation into another directory with its task and its removal by product code,
# the zip set up by hand, and the written task imported by schtasks.
#
#   tools/package-windows-test.sh [--exe PATH]
#
# --exe: test this varnex.exe instead of building one with tools/build-windows.sh.
# When no Windows build is available, or Wine cannot start, the Wine part is skipped with a
# line saying so. Nothing outside its temporary directory is changed, apart from installing
# Debian packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    *) echo "usage: $0 [--exe PATH]" >&2; exit 2 ;;
  esac
done

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
done_in() { echo "Windows package tests $1 in $((SECONDS - started)) s."; }

tmp=$(mktemp -d)
wineStarted=0
cleanup() {
  set +e
  [ "$wineStarted" = 0 ] || WINEPREFIX="$tmp/wine" wineserver -k >/dev/null 2>&1
  rm -rf "$tmp"
}
trap cleanup EXIT

echo "== packages"
need=()
command -v xmllint >/dev/null || need+=(libxml2-utils)
command -v msiinfo >/dev/null || need+=(msitools)
command -v unzip >/dev/null || need+=(unzip)
command -v strings >/dev/null || need+=(binutils)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi

echo "== scheduled task"
# No schema of the Task Scheduler is packaged for Debian: the definition is parsed, and the
# elements schtasks needs and the values the installation relies on are checked, first in the
# template, later in the varnex-task.xml that varnex-setup.cmd writes from it.
template="$root/packaging/windows/varnex-task.xml.template"
taskValue() {
  xmllint --xpath "string(/*[local-name()='Task']/$2)" "$1" 2>/dev/null
}
path() { local p="" part; for part in "$@"; do p="$p/*[local-name()='$part']"; done; echo "${p#/}"; }
# checkTask FILE COMMAND WORKING-DIRECTORY
checkTask() {
  local file=$1 command=$2 workdir=$3 key pattern value
  xmllint --noout "$file" || fail "$file is not well-formed"
  [ "$(xmllint --xpath "namespace-uri(/*)" "$file")" = \
    "http://schemas.microsoft.com/windows/2004/02/mit/task" ] || fail "$file: namespace"
  [ "$(xmllint --xpath "string(/*/@version)" "$file")" = 1.2 ] || fail "$file: version"
  while read -r key pattern; do
    value=$(taskValue "$file" "$(path ${key//\// })")
    [[ "$value" =~ ^$pattern$ ]] || fail "$file: $key is \"$value\", expected $pattern"
  done <<'CHECKS'
Triggers/TimeTrigger/StartBoundary [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}
Triggers/TimeTrigger/Enabled true
Triggers/TimeTrigger/Repetition/Interval PT([1-9]|[1-5][0-9])M
Triggers/TimeTrigger/Repetition/StopAtDurationEnd false
Principals/Principal/UserId S-1-5-19
Principals/Principal/RunLevel LeastPrivilege
Settings/MultipleInstancesPolicy IgnoreNew
Settings/ExecutionTimeLimit PT[1-9][0-9]*[MH]
Settings/Enabled true
Settings/DisallowStartIfOnBatteries false
Actions/Exec/Arguments -c
CHECKS
  value=$(taskValue "$file" "$(path Actions Exec Command)")
  [ "$value" = "$command" ] || fail "$file: Command is $value, expected $command"
  value=$(taskValue "$file" "$(path Actions Exec WorkingDirectory)")
  [ "$value" = "$workdir" ] || fail "$file: WorkingDirectory is $value, expected $workdir"
  [ "$(xmllint --xpath "string(/*/*[local-name()='Actions']/@Context)" "$file")" = \
    "$(xmllint --xpath "string(/*/*[local-name()='Principals']/*/@id)" "$file")" ] ||
    fail "$file: the action's context names no principal"
}
checkTask "$template" @COMMAND@ @DATA_DIR@
# varnex-setup.cmd fills in the lines holding an at sign, and its for /f drops empty lines.
[ "$(grep -c @ "$template")" = 2 ] || fail "the template has at signs outside the two values"
! grep -q '^[[:space:]]*$' "$template" || fail "the template has an empty line"
LC_ALL=C grep -q $'[^\t -~]' "$template" && fail "the template is not ASCII"
echo "task template checked"

echo "== the documents agree with the task"
# Each document's text with its line breaks folded, so that a phrase may wrap.
docText() { tr '\n' ' ' <"$1" | tr -s ' '; }
minutesOf() {
  case $1 in
  PT*H) echo $((${1//[!0-9]/} * 60)) ;;
  PT*M) echo "${1//[!0-9]/}" ;;
  esac
}
interval=$(minutesOf \
  "$(taskValue "$template" "$(path Triggers TimeTrigger Repetition Interval)")")
limit=$(minutesOf "$(taskValue "$template" "$(path Settings ExecutionTimeLimit)")")
for doc in README.md docs/windows.md; do
  text=$(docText "$root/$doc")
  for phrase in "every $interval minutes" "after $limit minutes" "LOCAL SERVICE" '*S-1-5-19'; do
    [[ "$text" == *"$phrase"* ]] || fail "$doc does not say \"$phrase\" as the task does"
  done
  for stale in "NETWORK SERVICE" "No MSI is built yet" "stopped after an hour" \
    'change `Command`' "msiexec /x varnex-1.0.0-x64.msi /qn" "UTF-16, as"; do
    [[ "$text" != *"$stale"* ]] || fail "$doc still says \"$stale\""
  done
  # The import, the upgrade and the removal as administrators type them.
  for phrase in 'schtasks /create /tn varnex /xml "C:\Program Files\varnex\varnex-task.xml"' \
    "schtasks /change /tn varnex /disable" "schtasks /change /tn varnex /enable" \
    "/qn /norestart" 3010 "schtasks /delete /tn varnex /f" "msiexec /x {ProductCode}"; do
    [[ "$text" == *"$phrase"* ]] || fail "$doc does not say \"$phrase\""
  done
done
# The task's last result is the exit code: every one of them is listed.
failed=$(docText "$root/README.md" | sed -n 's/.*\*\*Failed runs\*\*\(.*\)\*\*Files still.*/\1/p')
for code in 0 1 2 3; do
  [[ "$failed" == *"\`$code\`:"* ]] || fail "README: the task results do not list exit code $code"
done
[[ "$(docText "$root/docs/windows.md")" =~ last\ result:\ 0\ [^.]*,\ 1\ [^.]*,\ 2\ [^.]*,\ 3\  ]] ||
  fail "docs/windows.md: the task results do not list exit codes 0 to 3"
echo "README.md and docs/windows.md: every $interval minutes, stopped after $limit minutes," \
  "LOCAL SERVICE (*S-1-5-19), exit codes 0-3, the import, upgrade and removal commands"

echo "== varnex.exe"
if [ -z "$exe" ]; then
  if [ ! -x "$root/tools/build-windows.sh" ]; then
    echo "SKIPPED: no Windows build (tools/build-windows.sh) in this tree; MSI and Wine tests skipped."
    done_in "partly skipped"
    exit 0
  fi
  exe=$("$root/tools/build-windows.sh" | tail -n 1)
fi
[ -f "$exe" ] || fail "no varnex.exe at $exe"
echo "$exe"

echo "== MSI and zip"
version=$(sed -n 's/^project(varnex VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r major minor build <<<"$version"
newer="$major.$minor.$((build + 1))"
"$root/tools/package-windows.sh" --exe "$exe" --out "$tmp/packages" >"$tmp/package.out"
msi=$(tail -n 2 "$tmp/package.out" | head -n 1)
zipFile=$(tail -n 1 "$tmp/package.out")
# The newer package carries an executable of its own (bytes appended after the image, which
# Windows ignores), so that an upgrade shows which one is installed.
mkdir "$tmp/newer-exe"
{ cat "$exe"; printf 'varnex %s upgrade test\n' "$newer"; } >"$tmp/newer-exe/varnex.exe"
"$root/tools/package-windows.sh" --exe "$tmp/newer-exe/varnex.exe" --version "$newer" \
  --out "$tmp/newer" >"$tmp/newer.out"
msiNewer=$(tail -n 2 "$tmp/newer.out" | head -n 1)
[ "$msi" = "$tmp/packages/varnex-$version-x64.msi" ] || fail "MSI path: $msi"
[ "$zipFile" = "$tmp/packages/varnex-$version-win64.zip" ] || fail "zip path: $zipFile"
echo "MSI $(stat -c %s "$msi") bytes, zip $(stat -c %s "$zipFile") bytes, varnex.exe" \
  "$(stat -c %s "$exe") bytes"

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v k="$2" '$1 == k { print $2 }'; }
[ "$(property "$msi" ProductVersion)" = "$version" ] || fail "ProductVersion"
[ "$(property "$msiNewer" ProductVersion)" = "$newer" ] || fail "ProductVersion of $newer"
[ "$(property "$msi" UpgradeCode)" = "$(property "$msiNewer" UpgradeCode)" ] ||
  fail "the two versions have different UpgradeCodes"
[ "$(property "$msi" ALLUSERS)" = 1 ] || fail "not a per-machine package"
msiinfo suminfo "$msi" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"
msiinfo export "$msi" File | tr -d '\r' | tail -n +4 | cut -f 3 | sort >"$tmp/msi-files"
printf '%s\n' LICENSE.txt README.md varnex-setup.cmd varnex-task.xml.template varnex.exe \
  varnex.ini.example | cmp -s - "$tmp/msi-files" ||
  fail "files of the MSI: $(tr '\n' ' ' <"$tmp/msi-files")"
msiinfo export "$msi" RemoveFile | tr -d '\r' |
  grep -qx $'TaskDefinition\tDocuments\tvarnex-task.xml\tINSTALLDIR\t2' ||
  fail "the MSI's removal does not delete varnex-task.xml"
(cd "$tmp" && unzip -q "$zipFile" -d zip)
(cd "$tmp/zip" && find . -type f | sort) >"$tmp/zip-files"
printf "./varnex-$version/%s\n" LICENSE.txt README.md varnex-setup.cmd varnex-task.xml.template \
  varnex.exe varnex.ini.example | cmp -s - "$tmp/zip-files" ||
  fail "files of the zip: $(tr '\n' ' ' <"$tmp/zip-files")"
cmp -s "$tmp/zip/varnex-$version/varnex.exe" "$exe" || fail "varnex.exe of the zip"
# The files the documents list are the files of the zip.
(cd "$tmp/zip/varnex-$version" && find . -type f | sed 's#^\./##' | sort) >"$tmp/zip-names"
for doc in README.md docs/windows.md; do
  python3 - "$root/$doc" >"$tmp/doc-names" <<'PY' || fail "$doc: no sentence naming the files of the zip"
import re, sys
text = " ".join(open(sys.argv[1], encoding="utf-8").read().split())
found = re.search(r"The zip holds one folder, `varnex-<version>\\`, with (.*?`)[.;]", text)
if not found:
    sys.exit(1)
print("\n".join(sorted(re.findall(r"`([^`]+)`", found.group(1)))))
PY
  cmp -s "$tmp/zip-names" "$tmp/doc-names" ||
    fail "$doc lists $(tr '\n' ' ' <"$tmp/doc-names")as the zip's files; it holds $(tr '\n' ' ' <"$tmp/zip-names")"
done
example="$tmp/zip/varnex-$version/varnex.ini.example"
for key in InputPath OutputPath BackupPath LogPath; do
  grep -Eq "^$key=C:\\\\ProgramData\\\\varnex\\\\[a-z]+\\\\"$'\r$' "$example" ||
    fail "varnex.ini.example: $key is not a data directory, or the line does not end in CR LF"
done
grep -Eq $'^MinFileAge=[1-9][0-9]*\r$' "$example" || fail "varnex.ini.example: MinFileAge"
[ "$(grep -c '^\[' "$example")" = "$(grep -c '^\[' "$root/packaging/varnex.ini.example")" ] ||
  fail "varnex.ini.example: sections"
# The version resource: its strings are UTF-16; the value follows its name.
strings -el "$exe" | grep -A1 -x ProductVersion | tail -n 1 | grep -qx "$version" ||
  fail "varnex.exe has no version resource with ProductVersion $version"
strings -el "$exe" | grep -A1 -x FileVersion | tail -n 1 | grep -qx "$version" ||
  fail "varnex.exe has no version resource with FileVersion $version"
echo "MSI tables, zip contents and version resource checked"

echo "== Wine"
export WINEPREFIX="$tmp/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if ! command -v wine >/dev/null; then
  echo "Installing: wine wine64"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  { $sudo apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wine wine64; } >/dev/null 2>&1 ||
    true
fi
# Wine's complaint about its missing 32-bit half is dropped from what the tests show.
quiet() { grep -v -E 'wine32 is missing|multiarch needs|dpkg --add-architecture|apt-get install wine32' >&2 || true; }
wineStarted=1
if ! command -v wine >/dev/null ||
  ! timeout 300 wineboot -i >"$tmp/wineboot.txt" 2>&1 ||
  ! timeout 60 wine cmd /c exit 0 2> >(quiet) >/dev/null; then
  if command -v wine >/dev/null; then
    echo "Wine ($(wine --version 2>&1 | tail -n 1)) could not make a prefix or start a program:"
    tail -n 5 "$tmp/wineboot.txt" 2>/dev/null || true
  else
    echo "Wine is not installed and could not be installed."
  fi
  echo "SKIPPED: Wine cannot start here; the installation tests under Wine did not run."
  done_in "partly skipped"
  exit 0
fi
wine --version
drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/varnex"
data="$drive/ProgramData/varnex"
win() { timeout 300 wine "$@" 2> >(quiet); }
cp "$msi" "$drive/varnex-old.msi"
cp "$msiNewer" "$drive/varnex-new.msi"
# Products registered for removal, as "name version" lines.
products() {
  win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    tr -d '\r' | awk '$1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { print name, $3 }' |
    grep '^varnex ' || true
}
# msiexec run by cmd, which gives its whole exit code (a Unix exit status keeps 8 bits: 3010
# would arrive as 194); the arguments are a line of cmd, as an administrator types them.
msiexecCode() {
  printf '@msiexec %s\r\n@echo msiexec exit code %%errorlevel%%\r\n@exit /b 0\r\n' "$1" \
    >"$drive/msiexec.cmd"
  win cmd /c 'C:\msiexec.cmd' | tr -d '\r' | sed -n 's/^msiexec exit code //p'
}
# checkWrittenTask FILE COMMAND WORKING-DIRECTORY: the task varnex-setup.cmd wrote: UTF-8 (here
# ASCII) without a byte-order mark, as its declaration without encoding says, and the template
# line for line but for the two values.
checkWrittenTask() {
  checkTask "$@"
  [ "$(head -c 5 "$1")" = '<?xml' ] || fail "$1 does not begin with <?xml (a byte-order mark?)"
  diff <(tr -d '\r' <"$1" | grep -v -e '<Command>' -e '<WorkingDirectory>') \
    <(grep -v -e '<Command>' -e '<WorkingDirectory>' "$template") >/dev/null ||
    fail "$1 differs from the template in more than Command and WorkingDirectory"
}
expect_dir_files() {
  local dir=$1 pattern=$2 count=$3 n
  n=$(find "$dir" -maxdepth 1 -type f -name "$pattern" | wc -l)
  [ "$n" = "$count" ] || fail "$dir: $n files $pattern, expected $count"
}

echo "== msiexec /i (version $version)"
win msiexec /i 'C:\varnex-old.msi' /qn /l*v 'C:\install.log' || fail "msiexec /i: exit code $?"
grep -a -q 'Action ended [0-9:]*: RunSetupScript. Return value 1.' "$drive/install.log" ||
  fail "the setup script did not run or failed (C:\\install.log)"
for file in varnex.exe varnex.ini.example README.md LICENSE.txt varnex-task.xml.template \
  varnex-setup.cmd varnex.ini varnex-task.xml; do
  [ -f "$program/$file" ] || fail "C:\\Program Files\\varnex\\$file missing after installation"
done
cmp -s "$program/varnex.exe" "$exe" || fail "installed varnex.exe differs from the build"
cmp -s "$program/varnex.ini" "$program/varnex.ini.example" ||
  fail "the new varnex.ini is not the example"
for dir in input output backup log; do
  [ -d "$data/$dir" ] || fail "C:\\ProgramData\\varnex\\$dir missing after installation"
done
[ "$(products)" = "varnex $version" ] || fail "registered: $(products)"
checkWrittenTask "$program/varnex-task.xml" '"C:\Program Files\varnex\varnex.exe"' \
  'C:\ProgramData\varnex'
echo "installed: files, C:\\ProgramData\\varnex\\{input,output,backup,log}, varnex.ini," \
  "varnex-task.xml"

echo "== varnex.exe as installed"
win "$program/varnex.exe" --version | tr -d '\r' | grep -q "$version" || fail "--version"
# The shipped settings: a run over the empty input directory logs into the data directory.
code=0
(cd "$drive" && win "$program/varnex.exe" -c >"$tmp/first-run.txt") || code=$?
[ "$code" = 0 ] || fail "varnex.exe -c with the shipped settings: exit code $code"
expect_dir_files "$data/log" '*.log' 1

# The settings of the examples (those the Linux outputs were made with), with the data
# directories: the administrator's edit that upgrades must keep.
sed -e 's|^InputPath=.*|InputPath=C:\\ProgramData\\varnex\\input\\|' \
  -e 's|^OutputPath=.*|OutputPath=C:\\ProgramData\\varnex\\output\\|' \
  -e 's|^BackupPath=.*|BackupPath=C:\\ProgramData\\varnex\\backup\\|' \
  -e 's|^LogPath=.*|LogPath=C:\\ProgramData\\varnex\\log\\|' \
  -e 's/\r$//' -e 's/$/\r/' "$root/examples/varnex.ini" >"$program/varnex.ini"
printf '; edited by the administrator\r\n' >>"$program/varnex.ini"
cp "$program/varnex.ini" "$tmp/edited.ini"
cp "$root/examples/input/"* "$data/input/"
touch -d '-1 hour' "$data/input/"*
code=0
(cd "$drive" && win "$program/varnex.exe" -c >"$tmp/run.txt") || code=$?
[ "$code" = 0 ] || { tr -d '\r' <"$tmp/run.txt"; fail "varnex.exe -c on the examples: exit code $code"; }
expect_dir_files "$data/input" '*' 0

# Compared with the Linux outputs of tests/data/golden/examples (made with a fixed clock): the
# names with their 17-digit time stamp replaced, and the contents with the time stamp of the
# generated identifiers (their run sequence number kept) and the creation date-time replaced;
# every other byte, CR LF line ends included, must be equal.
stampless() { sed -E 's/_[0-9]{17}\./_STAMP./' <<<"$1"; }
normalized() {
  sed -E -e 's/B[0-9]{17}([0-9]{6})/B<stamp>\1/g' \
    -e 's/<CreDtTm>[^<]*<\/CreDtTm>/<CreDtTm><time><\/CreDtTm>/g' "$1"
}
golden="$root/tests/data/golden/examples"
compared=0
for kind in output backup; do
  [ "$(find "$data/$kind" -maxdepth 1 -type f ! -name '.*' | wc -l)" = \
    "$(find "$golden/$kind" -maxdepth 1 -type f | wc -l)" ] ||
    fail "$kind: $(ls "$data/$kind" | tr '\n' ' '), expected the names of $golden/$kind"
  for expected in "$golden/$kind"/*; do
    name=$(stampless "$(basename "$expected")")
    actual=""
    for candidate in "$data/$kind"/*; do
      [ "$(stampless "$(basename "$candidate")")" = "$name" ] && actual=$candidate
    done
    [ -n "$actual" ] || fail "no $kind file $name"
    if ! cmp -s <(normalized "$expected") <(normalized "$actual"); then
      diff <(normalized "$expected") <(normalized "$actual") | head -n 20 >&2
      fail "$kind/$name differs from the Linux output"
    fi
    compared=$((compared + 1))
  done
done
! grep -a -q 'Hiba: ' "$data/log/"*.log || fail "the log has error lines"
echo "examples converted: $compared files equal to the Linux outputs (stamps and times aside)"

echo "== upgrade to $newer while a run holds varnex.exe"
# A run in manual mode reads file paths from its standard input until it ends: a FIFO held
# open keeps it running, with varnex.exe in use, for as long as the upgrade takes.
mkfifo "$tmp/hold"
(cd "$drive" &&
  exec wine "$program/varnex.exe" <"$tmp/hold" >"$tmp/held.txt" 2>"$tmp/held.err") &
held=$!
exec 7>"$tmp/hold"
for _ in $(seq 120); do [ -s "$tmp/held.txt" ] && break; sleep 0.25; done
[ -s "$tmp/held.txt" ] || fail "the held run did not start"
code=$(msiexecCode '/i C:\varnex-new.msi /qn /norestart')
exec 7>&-
wait "$held" || fail "the held run ended with exit code $?"
[ "$code" = 0 ] || [ "$code" = 3010 ] || fail "msiexec /i (upgrade, varnex.exe in use): $code"
# With 3010 the new varnex.exe may wait under another name for the restart, which Windows'
# session manager (here wineboot) carries out from PendingFileRenameOperations.
when="at once"
if [ "$code" = 3010 ] && ! cmp -s "$program/varnex.exe" "$tmp/newer-exe/varnex.exe"; then
  when="at the restart"
  win reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations | tr -d '\r' | grep -q -F 'varnex\varnex.exe' ||
    fail "msiexec: 3010, but no replacement of varnex.exe is pending"
  timeout 60 wineboot -r 2> >(quiet) || fail "wineboot -r"
fi
cmp -s "$program/varnex.exe" "$tmp/newer-exe/varnex.exe" || fail "varnex.exe is not the new one"
[ "$(products)" = "varnex $newer" ] || fail "registered after the upgrade: $(products)"
cmp -s "$program/varnex.ini" "$tmp/edited.ini" || fail "the upgrade changed varnex.ini"
checkWrittenTask "$program/varnex-task.xml" '"C:\Program Files\varnex\varnex.exe"' \
  'C:\ProgramData\varnex'
expect_dir_files "$data/backup" '*.HUA' 1
echo "upgraded while a run held varnex.exe: msiexec exit code $code; the new varnex.exe in" \
  "place $when; the edited varnex.ini kept"

echo "== downgrade to $version refused"
if win msiexec /i 'C:\varnex-old.msi' /qn; then
  fail "an older version was installed over a newer one"
fi
[ "$(products)" = "varnex $newer" ] || fail "registered after the refused downgrade: $(products)"
echo "refused"

echo "== msiexec /x"
win msiexec /x 'C:\varnex-new.msi' /qn || fail "msiexec /x: exit code $?"
[ -z "$(products)" ] || fail "still registered after removal: $(products)"
for file in varnex.exe varnex.ini.example README.md LICENSE.txt varnex-task.xml.template \
  varnex-setup.cmd varnex-task.xml; do
  [ ! -e "$program/$file" ] || fail "C:\\Program Files\\varnex\\$file left after removal"
done
cmp -s "$program/varnex.ini" "$tmp/edited.ini" || fail "the removal did not keep varnex.ini"
expect_dir_files "$data/output" '*.CCT' 2
expect_dir_files "$data/backup" '*.HUA' 1
expect_dir_files "$data/backup" '*.INT' 1
expect_dir_files "$data/log" '*.log' 1
echo "removed; varnex.ini and C:\\ProgramData\\varnex kept"

echo "== another directory, upgraded in place"
# A directory with characters that cmd and XML treat specially: the task must name it.
code=$(msiexecCode '/i C:\varnex-old.msi /qn INSTALLDIR="C:\Apps\R&D varnex!\"')
[ "$code" = 0 ] || fail "msiexec /i INSTALLDIR=...: exit code $code"
other="$drive/Apps/R&D varnex!"
[ -f "$other/varnex.exe" ] && [ -f "$other/varnex.ini" ] ||
  fail "nothing installed into C:\\Apps\\R&D varnex!"
[ ! -e "$program/varnex.exe" ] || fail "installed into C:\\Program Files\\varnex as well"
checkWrittenTask "$other/varnex-task.xml" '"C:\Apps\R&D varnex!\varnex.exe"' \
  'C:\ProgramData\varnex'
printf '; edited there\r\n' >>"$other/varnex.ini"
cp "$other/varnex.ini" "$tmp/edited-there.ini"
# The upgrade names no directory: it goes where the installed version is.
win msiexec /i 'C:\varnex-new.msi' /qn || fail "msiexec /i (upgrade there): exit code $?"
[ "$(products)" = "varnex $newer" ] || fail "registered after the upgrade there: $(products)"
[ ! -e "$program/varnex.exe" ] || fail "the upgrade went to C:\\Program Files\\varnex"
cmp -s "$other/varnex.ini" "$tmp/edited-there.ini" || fail "the upgrade there changed varnex.ini"
cmp -s "$other/varnex.exe" "$tmp/newer-exe/varnex.exe" ||
  fail "varnex.exe there is not the new one"
checkWrittenTask "$other/varnex-task.xml" '"C:\Apps\R&D varnex!\varnex.exe"' \
  'C:\ProgramData\varnex'
cp "$other/varnex-task.xml" "$drive/varnex-task.xml"
# Removed by its product code, as the README says: the Uninstall key whose DisplayName is varnex
# (the README's reg query /f, which Wine's reg lacks, prints the same key).
productCode=$(win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
  tr -d '\r' | awk '/^HKEY/ { key = $0 } $1 == "DisplayName" && $3 == "varnex" { print key }' |
  sed 's/.*\\//')
[[ "$productCode" =~ ^\{[0-9A-F-]{36}\}$ ]] || fail "no product code of varnex: $productCode"
code=$(msiexecCode "/x $productCode /qn")
[ "$code" = 0 ] || fail "msiexec /x $productCode: exit code $code"
[ -z "$(products)" ] || fail "still registered after msiexec /x $productCode: $(products)"
for file in varnex.exe varnex-task.xml; do
  [ ! -e "$other/$file" ] || fail "$file left in C:\\Apps\\R&D varnex!"
done
cmp -s "$other/varnex.ini" "$tmp/edited-there.ini" || fail "the removal there lost varnex.ini"
echo "installed into C:\\Apps\\R&D varnex!, its task naming it; upgraded there keeping its" \
  "varnex.ini; removed by product code $productCode, varnex-task.xml with it"

echo "== the zip, set up by hand"
zipDir="$drive/Tools/varnex (R&D)!"
mkdir -p "$(dirname "$zipDir")"
cp -r "$tmp/zip/varnex-$version" "$zipDir"
zipWin='C:\Tools\varnex (R&D)!'
printf '%s\r\n' "@call \"$zipWin\\varnex-setup.cmd\" \"$zipWin\" \"C:\\Data\\R&D!\"" \
  '@echo setup exit code %errorlevel%' '@exit /b 0' >"$drive/setup.cmd"
code=$(win cmd /c 'C:\setup.cmd' | tr -d '\r' | sed -n 's/^setup exit code //p')
[ "$code" = 0 ] || fail "varnex-setup.cmd by hand: exit code $code"
for dir in input output backup log; do
  [ -d "$drive/Data/R&D!/$dir" ] || fail "C:\\Data\\R&D!\\$dir missing"
done
[ -f "$zipDir/varnex.ini" ] || fail "varnex-setup.cmd made no varnex.ini"
checkWrittenTask "$zipDir/varnex-task.xml" '"C:\Tools\varnex (R&D)!\varnex.exe"' 'C:\Data\R&D!'
echo "varnex-setup.cmd C:\\Tools\\varnex (R&D)! C:\\Data\\R&D!: data directories, varnex.ini," \
  "varnex-task.xml"

echo "== schtasks /create /xml"
# Wine's schtasks accepts the definition (exit code 0) but stores an empty task, so the import
# shows only that the file is read; what the task does is checked in the XML above.
# Wine's Task Scheduler service may need some seconds to come up.
win net start schedule >/dev/null || true
imported=0
for _ in $(seq 12); do
  if win schtasks /create /tn varnex /xml 'C:\varnex-task.xml' >/dev/null; then
    imported=1
    break
  fi
  sleep 5
done
if [ "$imported" = 1 ]; then
  win schtasks /query /tn varnex >/dev/null || fail "schtasks /query after the import"
  win schtasks /delete /tn varnex /f >/dev/null || fail "schtasks /delete"
  echo "the written task imported, found and deleted (Wine keeps no definition and runs no task)"
else
  echo "NOT SHOWN: Wine's Task Scheduler service did not accept the task within a minute"
fi

echo "Not shown under Wine: the permission granted on C:\\ProgramData\\varnex (Wine's icacls"
echo "changes no access list) and the task running as LOCAL SERVICE on its schedule."
done_in passed
