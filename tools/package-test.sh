#!/usr/bin/env bash
# Tests the installation: a release build installed with `cmake --install` and run through a
# symbolic link; the Debian package built by CPack, its contents, control data and lintian's
# verdict (no errors, no warnings); the package installed on this machine, the service's
# command line run as the user varnex on files dropped into the input directory, a run as
# root followed by one as varnex, an idle run's log lines, and the package purged again; the
# systemd units (service, path, timer) checked by systemd-analyze.
#
# It installs packages, creates the user varnex and writes under /var/lib/varnex, so it runs
# only where the environment variable CI is set. Everything it created is removed at the end.
set -euo pipefail
if [ -z "${CI:-}" ]; then
  echo "tools/package-test.sh installs and purges the varnex Debian package and creates the" >&2
  echo "system user varnex on this machine; it runs only when CI is set (CI=1 $0)." >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Fails unless exactly `count` names in `dir` match the glob `pattern`.
expect_files() {
  local dir=$1 pattern=$2 count=$3 n
  n=$(find "$dir" -maxdepth 1 -type f -name "$pattern" | wc -l)
  [ "$n" = "$count" ] || fail "$dir: $n files $pattern, expected $count"
}
# Fails unless the run directory holds what a conversion of the two examples leaves.
expect_converted() {
  local input=$1 output=$2 backup=$3 log=$4
  expect_files "$input" '*' 0
  expect_files "$output" '*.CCT' 2
  expect_files "$output" '*.CCU' 2
  expect_files "$output" '*.HUA' 1
  expect_files "$output" '*.INT' 1
  expect_files "$backup" '*.HUA' 1
  expect_files "$backup" '*.INT' 1
  expect_files "$log" '*.log' 1
}

if dpkg -s varnex >/dev/null 2>&1; then
  fail "the package varnex is installed on this machine; remove it first"
fi
for dir in /var/lib/varnex /var/log/varnex; do
  [ ! -e "$dir" ] || fail "$dir exists (data of an earlier installation); move it away first"
done
hadUser=0
getent passwd varnex >/dev/null && hadUser=1
hadGroup=0
getent group varnex >/dev/null && hadGroup=1

tmp=$(mktemp -d)
installed=0
cleanup() {
  set +e
  [ "$installed" = 0 ] || $sudo dpkg --purge varnex >/dev/null
  $sudo rm -rf /var/lib/varnex /var/log/varnex
  [ "$hadUser" = 1 ] || ! getent passwd varnex >/dev/null || $sudo userdel varnex
  [ "$hadGroup" = 1 ] || ! getent group varnex >/dev/null || $sudo groupdel varnex
  rm -rf "$tmp"
}
trap cleanup EXIT

echo "== packages"
"$root/tools/install-deps.sh"
need=()
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v file >/dev/null || need+=(file)
command -v fakeroot >/dev/null || need+=(fakeroot)
command -v lintian >/dev/null || need+=(lintian)
command -v runuser >/dev/null || need+=(util-linux)
command -v adduser >/dev/null || need+=(adduser)
$sudo apt-get update -qq
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
if ! command -v systemd-analyze >/dev/null; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq systemd >/dev/null ||
    echo "systemd could not be installed; the unit check will be skipped"
fi

echo "== release build"
build="$root/build/package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target varnex

echo "== cmake --install"
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/varnex bin/varnex.ini share/doc/varnex/varnex.ini.example share/doc/varnex/README.md \
  share/man/man1/varnex.1; do
  [ -f "$prefix/$file" ] || fail "cmake --install left no $file"
done
cmp -s "$prefix/bin/varnex.ini" "$root/packaging/varnex.ini.example" ||
  fail "bin/varnex.ini differs from the example"
run="$tmp/run"
mkdir -p "$run/input" "$run/output" "$run/backup" "$tmp/elsewhere"
sed -e "s|^InputPath=.*|InputPath=$run/input|" -e "s|^OutputPath=.*|OutputPath=$run/output|" \
  -e "s|^BackupPath=.*|BackupPath=$run/backup|" -e "s|^LogPath=.*|LogPath=$run/log|" \
  "$root/packaging/varnex.ini.example" >"$prefix/bin/varnex.ini"
cp "$prefix/bin/varnex.ini" "$tmp/settings"
cmake --install "$build" --prefix "$prefix" >/dev/null
cmp -s "$prefix/bin/varnex.ini" "$tmp/settings" || fail "cmake --install replaced bin/varnex.ini"
cp "$root/examples/input/"* "$run/input/"
ln -s "$prefix/bin/varnex" "$tmp/elsewhere/varnex"
code=0
(cd "$tmp/elsewhere" && ./varnex -c >"$tmp/console.txt") || code=$?
[ "$code" = 0 ] || fail "installed varnex -c through a link: exit code $code"
expect_converted "$run/input" "$run/output" "$run/backup" "$run/log"

echo "== Debian package"
rm -f "$build"/varnex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/varnex_*.deb)
echo "$deb"
dpkg-deb -c "$deb" >"$tmp/contents"
dpkg-deb -I "$deb"
entry() { grep -Eq "^$1 +[0-9]+ [0-9-]+ [0-9:]+ \./$2\$" "$tmp/contents" || fail "no $2 in the package"; }
entry '-rwxr-xr-x root/root' 'usr/lib/varnex/varnex'
entry 'lrwxrwxrwx root/root' 'usr/lib/varnex/varnex.ini -> /etc/varnex/varnex.ini'
entry 'lrwxrwxrwx root/root' 'usr/bin/varnex -> ../lib/varnex/varnex'
entry '-rw-r--r-- root/root' 'etc/varnex/varnex.ini'
for file in usr/lib/systemd/system/varnex.service usr/lib/systemd/system/varnex.path \
  usr/lib/systemd/system/varnex.timer usr/share/man/man1/varnex.1.gz \
  usr/share/doc/varnex/copyright usr/share/doc/varnex/changelog.Debian.gz; do
  entry '-rw-r--r-- root/root' "$file"
done
if grep -Eq '\./var/' "$tmp/contents"; then
  fail "the package ships files under /var (the maintainer scripts make those directories)"
fi
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends" | grep -q 'libc6 (>=' || fail "Depends not computed: $depends"
echo "$depends" | grep -q 'adduser' || fail "Depends lacks adduser: $depends"
[ "$(dpkg-deb -f "$deb" Version)" = "$(sed -n 's/^project(varnex VERSION \([^ ]*\) .*/\1/p' \
  "$root/CMakeLists.txt")-1" ] || fail "package version differs from project()"
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/varnex/varnex.ini ] || fail "conffiles"
dpkg-deb -x "$deb" "$tmp/extracted"
file "$tmp/extracted/usr/lib/varnex/varnex" | grep -q ', stripped' || fail "executable not stripped"
for line in InputPath=/var/lib/varnex/input/ OutputPath=/var/lib/varnex/output/ \
  BackupPath=/var/lib/varnex/backup/ LogPath=/var/log/varnex/ MinFileAge=30; do
  grep -qx "$line" "$tmp/extracted/etc/varnex/varnex.ini" || fail "conffile lacks $line"
done

unit="$tmp/extracted/usr/lib/systemd/system"
grep -Eq '^TimeoutStartSec=[0-9]+min$' "$unit/varnex.service" || fail "varnex.service has no time limit"
grep -qx 'PathChanged=/var/lib/varnex/input' "$unit/varnex.path" || fail "varnex.path watches nothing"
grep -qx 'OnCalendar=hourly' "$unit/varnex.timer" || fail "varnex.timer is not the hourly safety net"
zcat "$tmp/extracted/usr/share/man/man1/varnex.1.gz" | grep -q '^\.TH VARNEX 1' || fail "man page"

echo "== lintian"
lintian --tag-display-limit 0 "$deb" >"$tmp/lintian.txt" 2>&1 || true
cat "$tmp/lintian.txt"
if grep -Eq '^(E|W): ' "$tmp/lintian.txt"; then
  fail "lintian reports errors or warnings"
fi

echo "== dpkg -i"
$sudo dpkg -i "$deb"
installed=1
getent passwd varnex >/dev/null || fail "no user varnex"
$sudo dpkg -i "$deb" >/dev/null  # the maintainer scripts run again over what is there
for dir in /var/lib/varnex/input /var/lib/varnex/output /var/lib/varnex/backup; do
  [ "$(stat -c '%a %U %G' "$dir")" = "2770 varnex varnex" ] ||
    fail "$dir: $(stat -c '%a %U %G' "$dir")"
done
[ "$(stat -c '%a %U %G' /var/log/varnex)" = "2750 varnex varnex" ] || fail "/var/log/varnex mode"
# The files as an exporter in the group varnex drops them, old enough for MinFileAge.
$sudo install -o varnex -g varnex -m 0640 "$root/examples/input/"* /var/lib/varnex/input/
$sudo touch -d '1 minute ago' /var/lib/varnex/input/*
code=0
$sudo runuser -u varnex -- /usr/bin/varnex -c >"$tmp/console.txt" || code=$?
[ "$code" = 0 ] || { cat "$tmp/console.txt"; fail "runuser -u varnex -- varnex -c: exit code $code"; }
$sudo bash -c "$(declare -f fail expect_files expect_converted);
  expect_converted /var/lib/varnex/input /var/lib/varnex/output /var/lib/varnex/backup \
    /var/log/varnex"

echo "== idle run"
log=$($sudo sh -c 'ls /var/log/varnex/*.log')
before=$($sudo wc -l <"$log")
$sudo runuser -u varnex -- /usr/bin/varnex -c >/dev/null || fail "idle run: exit code $?"
added=$(($($sudo wc -l <"$log") - before))
echo "an idle run added $added lines to the log"
# Six messages and the blank line after the last (README: the schedule).
[ "$added" -le 7 ] || fail "an idle run added $added lines to the log, expected at most 7"

echo "== a run as root, then one as varnex"
# A new file, young: the root run waits for MinFileAge, then converts it as varnex.
$sudo install -o varnex -g varnex -m 0640 "$root/examples/input/PELDA1.HUA" \
  /var/lib/varnex/input/ROOT.HUA
# Another file than the one converted before: a new message id in its header.
$sudo sed -i 's/^:01:MSG20261207001/:01:MSG20261207002/' /var/lib/varnex/input/ROOT.HUA
code=0
$sudo /usr/bin/varnex -c >"$tmp/console.txt" || code=$?
[ "$code" = 0 ] || { cat "$tmp/console.txt"; fail "root varnex -c: exit code $code"; }
grep -q 'tulajdonosaként (varnex) fut tovább' "$tmp/console.txt" || fail "root run kept root"
grep -q 'Várakozás' "$tmp/console.txt" || fail "the root run did not wait for MinFileAge"
$sudo find /var/lib/varnex /var/log/varnex -user root | grep . &&
  fail "the root run left files owned by root"
code=0
$sudo runuser -u varnex -- /usr/bin/varnex -c >"$tmp/console.txt" || code=$?
[ "$code" = 0 ] || { cat "$tmp/console.txt"; fail "varnex -c after the root run: exit code $code"; }

echo "== the README's recipes, as written"
readme=/usr/share/doc/varnex/README.md
[ -f "$readme" ] || readme=$root/README.md
# The cron line: its command, run as the user the line names, on a refused file.
cron=$(grep -m1 '^\*/5 \* \* \* \* varnex ' "$readme" | sed 's/^\*\/5 \* \* \* \* varnex //')
[ -n "$cron" ] || fail "README: no cron line"
printf 'nonsense' | $sudo tee /var/lib/varnex/input/CRON.HUA >/dev/null
$sudo chown varnex:varnex /var/lib/varnex/input/CRON.HUA
$sudo touch -d '-2 min' /var/lib/varnex/input/CRON.HUA  # older than MinFileAge
out=$($sudo runuser -u varnex -- /bin/sh -c "umask 022; $cron" 2>&1) || true
echo "$out" | grep -q 'varnex -c failed (exit 2)' || fail "cron recipe: no line for a failed run: $out"
$sudo rm -f /var/lib/varnex/input/CRON.HUA
# The failure unit: the commands it names exist here.
alert=$(grep -m1 '^ExecStart=/bin/sh -c .journalctl -u varnex.service' "$readme")
[ -n "$alert" ] || fail "README: no failure unit"
for tool in journalctl systemd-cat; do
  echo "$alert" | grep -q "$tool" && { command -v "$tool" >/dev/null || [ ! -d /run/systemd/system ] ||
    fail "failure unit: $tool missing"; }
done
# Retention: the backup line takes a lower-case backup (listed here instead of removed, and
# with an age every file has).
keep=$(grep -m1 "^find /var/lib/varnex/backup " "$readme")
[ -n "$keep" ] || fail "README: no retention line for backups"
echo x | $sudo tee /var/lib/varnex/backup/lower_20261208093000123.hua >/dev/null
listed=$($sudo sh -c "$(echo "$keep" | sed 's/-ctime +400 -delete/-ctime -1 -print/')")
echo "$listed" | grep -q 'lower_20261208093000123.hua' ||
  fail "retention: a lower-case backup is not taken: $listed"
$sudo rm -f /var/lib/varnex/backup/lower_20261208093000123.hua
echo "cron line, failure unit and retention recipes work as written"

echo "== systemd units"
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not available; unit check skipped"
else
  # A trivial unit shows whether systemd-analyze can work in this container at all.
  printf '[Service]\nType=oneshot\nExecStart=/bin/true\n' >"$tmp/probe.service"
  if ! systemd-analyze verify "$tmp/probe.service" >/dev/null 2>&1; then
    echo "systemd-analyze verify does not work here; unit check skipped"
  else
    systemd-analyze verify /usr/lib/systemd/system/varnex.service \
      /usr/lib/systemd/system/varnex.path /usr/lib/systemd/system/varnex.timer ||
      fail "systemd-analyze verify"
    echo "units verified"
  fi
fi

echo "== dpkg --purge"
$sudo dpkg --purge varnex
installed=0
[ ! -e /usr/lib/varnex/varnex ] || fail "/usr/lib/varnex/varnex left after purge"
[ ! -e /etc/varnex ] || fail "/etc/varnex left after purge"
[ -d /var/lib/varnex/backup ] || fail "/var/lib/varnex removed by purge"
expect_files /var/lib/varnex/backup '*.HUA' 2
expect_files /var/lib/varnex/backup '*.INT' 1

echo "Package tests passed in $((SECONDS - started)) s."
