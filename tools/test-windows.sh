#!/usr/bin/env bash
# The Windows build under Wine: cross-builds varnex.exe and the tests, runs the unit,
# end-to-end, golden and process tests, converts the examples with both builds and compares
# the bytes, converts an accented file name on a UNC path, and, with --bench, measures the
# 100,000-order benchmark under Wine beside the native Linux figure.
#
# Needs the Linux debug build (build/debug) for the comparison; tools/test.sh makes it.
# Where CI is set, Wine is installed when missing, and a Wine that cannot be installed or
# cannot start fails the stage with the last lines it printed; elsewhere the stage is then
# skipped with a message saying so. Wine is started before anything is built.
#   tools/test-windows.sh [--bench]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
bench=0
[ "${1:-}" = --bench ] && bench=1

skip() {
  echo "== Windows build under Wine: SKIPPED: $*" >&2
  exit 0
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Under CI the stage never passes without having run: a missing or broken Wine fails it.
unavailable() {
  local what=$1 output=${2:-}
  if [ -n "${CI:-}" ]; then
    [ -z "$output" ] || tail -20 "$output" >&2
    fail "$what"
  fi
  skip "$what"
}

probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
if ! command -v wine >/dev/null; then
  if [ -n "${CI:-}" ]; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
      wine64 wine; } >"$probe" 2>&1 || unavailable "wine could not be installed" "$probe"
    command -v wine >/dev/null || unavailable "wine is not on PATH after its installation" "$probe"
  else
    unavailable "wine is not installed (apt-get install wine64 wine)"
  fi
fi

export WINEPREFIX=${VARNEX_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One wineserver for the whole stage, ended when the stage ends.
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true; rm -f "$probe"' EXIT
if ! timeout 600 wine cmd /c exit 0 >"$probe" 2>&1; then
  unavailable "Wine cannot start here (WINEPREFIX=$WINEPREFIX)" "$probe"
fi

echo "== Windows build (mingw-w64)"
build=$root/build/windows
exe=$("$root/tools/build-windows.sh" --tests "$build" | tail -1)
tests=$build/varnex_tests.exe
echo "$exe: $(stat -c %s "$exe") bytes, imports:" \
  $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -f)
# Only DLLs of Windows itself: nothing of the compiler's runtime.
if x86_64-w64-mingw32-objdump -p "$exe" | grep 'DLL Name' |
  grep -viE 'kernel32|msvcrt|comdlg32|mpr|shell32|user32|advapi32' >/dev/null; then
  fail "varnex.exe imports a DLL that is not Windows' own"
fi

echo "== tests under Wine"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work" "$probe"' EXIT
# Left to the Linux build: tests whose expected texts spell POSIX paths ("/v/in/ABC.HUA"),
# names Windows forbids (a line feed in a name, any bytes), a directory of 20,000 files
# (six minutes under Wine), and a log file removed while open, whose name Wine keeps until
# the handle is closed (Windows 10 and later remove it at once, as POSIX does).
linux_only=(
  SettingsTest.PathRule
  FileDriverTest.OutputNames
  ApplicationTest.EmptyInputDirectoryRun
  FileCommitTest.LiveRunsKeepTheirFiles
  FileCommitTest.InputChangedWhileConvertedIsLeftForTheNextRun
  FileCommitTest.RecoveryRunsInBothModesWithoutInput
  FileCommitTest.UnfinishableCommitBlocksConversion
  RefusalMemoryTest.AnyBytesInNamesAndReasonsRoundTrip
  BackupIndexTest.FindsBackupsTheIndexDoesNotKnow
  BackupIndexTest.LookupInLargeDirectoryReadsOnlyFilesOfTheSameSize
  RunLogTest.RemovedFileIsMadeAnewWhenTheSecondChanges
)
filter="-$(IFS=:; echo "${linux_only[*]}")"
# A volume of its own as drive V: (a tmpfs, when /dev/shm is one), for a backup on another
# volume than the inputs.
volume=$(mktemp -d /dev/shm/varnex-volume.XXXXXX 2>/dev/null || true)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work" "$probe" ${volume:+"$volume"}' EXIT
if [ -n "$volume" ] && [ "$(stat -c %d "$volume")" != "$(stat -c %d "$work")" ]; then
  ln -sfn "$volume" "$WINEPREFIX/dosdevices/v:"
  export VARNEX_TEST_OTHER_VOLUME='V:\'
else
  echo "no second file system at /dev/shm: the backup on another volume is not tried"
fi
tests_started=$SECONDS
(cd "$work" && wine "$tests" --gtest_brief=1 --gtest_filter="$filter") 2>&1 |
  tee "$work/tests.log" | grep -vE '^\s*$' | tail -25
grep -q '^\[  PASSED  \]' "$work/tests.log" || fail "tests under Wine"
grep -q '^\[  FAILED  \]' "$work/tests.log" && fail "tests under Wine"
echo "tests under Wine: $(sed -n 's/^\[  PASSED  \] //p' "$work/tests.log"), \
${#linux_only[@]} left to Linux, in $((SECONDS - tests_started)) s"

# The version resource (Explorer's properties) says what --version says.
version=$(cd "$work" && wine "$exe" --version | tr -d '\r')
resource=$(strings -el "$exe" | grep -A1 '^ProductVersion$' | tail -1)
[ "$version" = "varnex $resource" ] || fail "version resource $resource, --version: $version"
echo "$version, the same in its version resource"

linux=$root/build/debug/varnex
[ -x "$linux" ] || fail "$linux missing: build the Linux debug build first"

echo "== every text through one console writer: the usage redirected"
# Redirected, the usage is in the console's code page (the OEM one under Wine: 437, or 852)
# with '?' for what it lacks and LF line ends, like the run's lines; on standard output for
# --help, on standard error for a wrong argument.
(cd "$work" && wine "$exe" --help >"$work/help.out")
set +e
(cd "$work" && wine "$exe" --frobnicate >/dev/null 2>"$work/usage.err")
usage_code=$?
set -e
[ $usage_code = 1 ] || fail "a wrong argument ended with $usage_code, not 1"
"$linux" --help >"$work/help.utf8"
matched=""
for cp in cp437 cp852; do
  python3 -c 'import sys; sys.stdout.buffer.write(open(sys.argv[1], encoding="utf-8").read().encode(sys.argv[2], "replace"))' \
    "$work/help.utf8" $cp >"$work/help.$cp"
  cmp -s "$work/help.$cp" "$work/help.out" && matched=$cp
done
[ -n "$matched" ] || fail "--help redirected is not the usage in CP437 or CP852 with LF: $(head -c 200 "$work/help.out" | od -c | head -5)"
cmp -s "$work/help.out" "$work/usage.err" || fail "the usage on standard error differs from --help"
echo "--help and a wrong argument: the usage in ${matched^^} with LF, as the run's lines"

echo "== no dialog when standard input is NUL"
# NUL is a character device but no console: the paths are read from it (none), no dialog
# waits for a click (the timeout would end one).
mkdir -p "$work/nul/in" "$work/nul/out" "$work/nul/bak" "$work/nul/log"
cp "$exe" "$work/nul/varnex.exe"
printf '[General]\r\nInputPath=in\r\nOutputPath=out\r\nBackupPath=bak\r\nLogPath=log\r\n' \
  >"$work/nul/varnex.ini"
cp "$root/examples/input/PELDA1.HUA" "$work/nul/in/"
for how in cmd shell; do
  set +e
  if [ $how = cmd ]; then
    (cd "$work/nul" && timeout 60 wine cmd /c "varnex.exe < NUL" >"$work/nul.out" 2>&1)
  else
    (cd "$work/nul" && timeout 60 wine varnex.exe </dev/null >"$work/nul.out" 2>&1)
  fi
  nul_code=$?
  set -e
  [ $nul_code = 0 ] || fail "varnex.exe < NUL ($how) ended with $nul_code: $(tail -5 "$work/nul.out")" \
    "$(cat "$work"/nul/log/*.log 2>/dev/null | iconv -f CP1250 -t UTF-8 | tail -5)"
  grep -q 'A program befejez' "$work/nul.out" || fail "varnex.exe < NUL ($how) did not end its run"
done
[ -f "$work/nul/in/PELDA1.HUA" ] || fail "varnex.exe < NUL converted a file it was not given"
echo "varnex.exe < NUL: no dialog, nothing chosen, exit 0"

echo "== the examples with both builds: the same bytes, the same log lines"
# The names and the contents carry the moment of the run: compare them with it masked.
normalise() {
  local dir=$1
  (cd "$dir" && for f in $(ls | sort); do
    echo "== ${f//[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]/STAMP}"
    sed -E 's/[0-9]{17}/STAMP/g; s/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+([+-][0-9:]+)?/TIME/g;
            s/[0-9]{6}(,|:)/DATE\1/g' "$f"
  done)
}
# The log lines, their times and the paths aside.
loglines() {
  iconv -f CP1250 -t UTF-8 "$1"/log/*.log | cut -c22- |
    sed -E 's#(/|Z:\\)[^ ]*[/\\]##g; s/[0-9]{17}/STAMP/g'
}
# With the bundled settings, and with the 2019 document and hybrid addresses.
for version in 03 09; do
  for side in linux windows; do
    mkdir -p "$work/$version/$side"
    cp -r "$root/examples/." "$work/$version/$side/"
    mkdir -p "$work/$version/$side/output" "$work/$version/$side/backup" "$work/$version/$side/log"
    if [ $version = 09 ]; then
      sed -i -e 's/^Format=.*/Format=pain.001.001.09/' -e 's/^TrgtKeyword=URGP/TrgtKeyword=SEPA/' \
        "$work/$version/$side/varnex.ini"
    fi
  done
  cp "$linux" "$work/$version/linux/varnex"
  cp "$exe" "$work/$version/windows/varnex.exe"
  "$work/$version/linux/varnex" -c >/dev/null
  (cd "$work" && wine "$work/$version/windows/varnex.exe" -c >/dev/null)
  for dir in output backup; do
    diff <(normalise "$work/$version/linux/$dir") <(normalise "$work/$version/windows/$dir") \
      >"$work/$dir.diff" ||
      fail "pain.001.001.$version: the $dir of the two builds differ: $(head -20 "$work/$dir.diff")"
  done
  diff <(loglines "$work/$version/linux") <(loglines "$work/$version/windows") >"$work/log.diff" ||
    fail "pain.001.001.$version: the logs of the two builds differ: $(head -20 "$work/log.diff")"
  echo "pain.001.001.$version: outputs, backups and log lines alike:" \
    "$(ls "$work/$version/windows/output" | wc -l) outputs"
done

echo "== a UNC path and an accented file name"
share=$work/share
mkdir -p "$share/in" "$share/out" "$share/bak" "$share/log" "$work/unc"
mkdir -p "$WINEPREFIX/dosdevices/unc/varnexsrv"
ln -sfn "$share" "$WINEPREFIX/dosdevices/unc/varnexsrv/bank"
accented=$(printf '\xc3\x81rv\xc3\xadzt\xc5\xb1r\xc5\x91 t\xc3\xbck\xc3\xb6rf\xc3\xbar\xc3\xb3g\xc3\xa9p')
cp "$root/examples/input/PELDA1.HUA" "$share/in/$accented.HUA"
cp "$exe" "$work/unc/varnex.exe"
sed -e 's#^InputPath=.*#InputPath=\\\\varnexsrv\\bank\\in#' \
  -e 's#^OutputPath=.*#OutputPath=\\\\varnexsrv\\bank\\out#' \
  -e 's#^BackupPath=.*#BackupPath=\\\\varnexsrv\\bank\\bak#' \
  -e 's#^LogPath=.*#LogPath=//varnexsrv/bank/log#' "$root/examples/varnex.ini" >"$work/unc/varnex.ini"
(cd "$work" && wine "$work/unc/varnex.exe" -c >/dev/null)
[ -z "$(ls "$share/in")" ] || fail "the input on the share was not converted"
for ext in CCT CCU HUA; do
  ls "$share/out/$accented"_*."$ext" >/dev/null || fail "no $ext output named after $accented"
done
ls "$share/bak/$accented"_*.HUA >/dev/null || fail "no backup named after $accented"
# The log is CP1250, as Notepad on a Hungarian Windows reads it.
iconv -f CP1250 -t UTF-8 "$share"/log/*.log | grep -F "Output fájl létrehozva: \\\\varnexsrv\\bank\\out\\$accented" \
  >/dev/null || fail "the log does not name the output on the share"
echo "converted \\\\varnexsrv\\bank\\in\\$accented.HUA: $(ls "$share/out" | wc -l) outputs"

echo "== a path past MAX_PATH"
# Wine enforces no limit of 260 characters; the run shows that the extended paths work.
deep=$work/long/$(printf 'a%.0s' {1..100})/$(printf 'b%.0s' {1..100})/$(printf 'c%.0s' {1..60})
mkdir -p "$deep/in" "$deep/out" "$deep/bak" "$deep/log"
cp "$exe" "$deep/varnex.exe"
printf '[General]\r\nInputPath=in\r\nOutputPath=out\r\nBackupPath=bak\r\nLogPath=log\r\n' \
  >"$deep/varnex.ini"
cp "$root/examples/input/PELDA1.HUA" "$deep/in/"
(cd "$work" && wine "$deep/varnex.exe" -c >"$work/deep.out" 2>&1) ||
  fail "the run past MAX_PATH ended with $?: $(tail -5 "$work/deep.out")"
[ -z "$(ls "$deep/in")" ] && ls "$deep"/bak/PELDA1_*.HUA >/dev/null && ls "$deep"/log/*.log >/dev/null ||
  fail "the input past MAX_PATH was not converted: $(tail -5 "$work/deep.out")"
longest=$(find "$deep" -type f | awk '{ print length($0) }' | sort -n | tail -1)
echo "converted an input past MAX_PATH: $(ls "$deep/out" | wc -l) outputs, paths up to" \
  "$((longest + 2)) characters"

if [ $bench = 1 ]; then
  echo "== benchmark: the Linux build beside the Windows build under Wine"
  bench_build=$root/build/release
  cmake -S "$root" -B "$bench_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$bench_build" -j2 --target varnex varnex_bench >/dev/null
  # The benchmark copies each converter into a program directory of its own and starts it
  # there; under Wine that is a script that puts varnex.exe beside it and starts it.
  cat >"$work/varnex-wine" <<SCRIPT
#!/bin/sh
dir=\$(dirname "\$0")
cp "$exe" "\$dir/varnex.exe"
exec wine "\$dir/varnex.exe" "\$@"
SCRIPT
  chmod +x "$work/varnex-wine"
  "$bench_build/varnex_bench" --repeat 3 --binary "$work/varnex-wine" 100000
fi

echo "== Windows stage passed in $((SECONDS - started)) s"
