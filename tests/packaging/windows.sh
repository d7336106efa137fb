#!/usr/bin/env bash
# The Windows setup under wine, in a fresh prefix with the null graphics driver: a silent
# install puts the programs, the Start menu entries and the uninstall entry in place; the
# installed compactor compacts a configuration with the fake engine; a silent uninstall
# removes the background check and the programs and keeps the user's files.
set -euo pipefail
cd "$(dirname "$0")/../.."
setup=$(QUILLET_SKIP_SETUP=1 bash scripts/package.sh windows | tail -n 1)
cmake --build --preset mingw --target quillet_fake_engine schtasks >/dev/null

scratch=$(mktemp -d /tmp/quillet-setup.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unix() { winepath -u "$1" 2>/dev/null; }
win() { winepath -w "$1" 2>/dev/null; }
winenv() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

wineboot --init >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w

echo "--- silent install"
wine "$setup" /S
wineserver -w
inst=$(unix "$(winenv LOCALAPPDATA)\\Programs\\Quillet")
menu=$(unix "$(winenv APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Quillet")
admin=false # the setup holds the administrator once the mingw build makes it
ninja -C build/mingw -t targets all | grep '^QuilletAdmin: phony' >/dev/null && admin=true
for file in Quillet.exe QuilletSched.exe Quillet.hlp "Quillet Help.html" Uninstall.exe; do
  [ -f "$inst/$file" ] || fail "$file in $inst"
done
[ -f "$menu/Quillet Help.lnk" ] || fail "Start menu entry for the help"
if $admin; then
  [ -f "$inst/QuilletAdmin.exe" ] || fail "QuilletAdmin.exe"
  [ -f "$menu/Quillet Administrator.lnk" ] || fail "Start menu entry for the administrator"
  target=$(lnkinfo "$menu/Quillet Administrator.lnk" 2>&1 || true)
  grep -qi 'QuilletAdmin.exe' <<<"$target" || fail "the administrator's entry's target: $target"
fi
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet'
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw/CMakeCache.txt)
echo "$entry" | grep -E "DisplayName|DisplayVersion|Publisher|EstimatedSize|UninstallString"
for value in "DisplayName.*Quillet" "DisplayVersion.*$version" "Publisher.*Orvane Software" \
  "UninstallString.*Uninstall.exe" "EstimatedSize.*0x"; do
  grep -q "$value" <<<"$entry" || fail "uninstall entry: $value in $entry"
done
for program in Quillet QuilletSched $($admin && echo QuilletAdmin); do
  strings -e l "$inst/$program.exe" | grep -x "$version" >/dev/null || fail "version resource of $program.exe"
done

echo "--- the installed programs"
mkdir -p "$scratch/data" "$scratch/engine"
cp build/mingw/tests/quillet_fake_engine.exe "$scratch/engine/engine.exe"
echo database >"$scratch/data/orders.mdb"
printf '[Defaults]\r\nCompactFiles=%s|%s|\r\nAccessPath=%s\r\n' "$(win "$scratch/data/orders.mdb")" \
  "$(win "$scratch/data/missing.mdb")" "$(win "$scratch/engine/engine.exe")" >"$inst/nightly.cfg"
wine "$inst/Quillet.exe" "$(win "$inst/nightly.cfg")" || fail "Quillet.exe exit code"
grep -q 'orders.mdb' "$scratch/engine/calls.txt" || fail "the engine did not run"
grep -q 'missing.mdb does not exist' "$inst/error.log" || fail "error.log next to the installed compactor"
grep -q ',ok,0,' "$inst/compact-history.csv" || fail "history next to the installed compactor"
if $admin; then
  # wine's loader becomes the program's process, so its id is the program's.
  wine "$inst/QuilletAdmin.exe" >/dev/null 2>&1 &
  started=$!
  sleep 5
  kill -0 "$started" 2>/dev/null || fail "QuilletAdmin.exe did not stay up"
  wineserver -k 2>/dev/null || true
  wait "$started" 2>/dev/null || true
  wineserver -w
fi

# A background check as the user installs it, through a stand-in for schtasks that
# Windows finds next to the program before the system's.
mkdir -p "$scratch/tasks"
cp build/mingw/tests/schtasks.exe "$inst/schtasks.exe"
export STANDIN_STATE
STANDIN_STATE=$(win "$scratch/tasks")
wine "$inst/QuilletSched.exe" --install >/dev/null || fail "QuilletSched --install"
ls "$scratch/tasks"/quillet-sched-*.xml >/dev/null 2>&1 || fail "no task to remove"

echo "--- silent uninstall"
wine "$inst/Uninstall.exe" /S
wineserver -w
sleep 1
wineserver -w
for file in Quillet.exe QuilletSched.exe QuilletAdmin.exe Quillet.hlp "Quillet Help.html" Uninstall.exe; do
  [ ! -e "$inst/$file" ] || fail "$file is still there"
done
[ ! -e "$menu" ] || fail "the Start menu folder is still there"
! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is still there"
grep -q '^/Delete' "$scratch/tasks/calls.txt" || fail "the uninstaller did not remove the background check"
! ls "$scratch/tasks"/quillet-sched-*.xml >/dev/null 2>&1 || fail "the task is still there"
for file in nightly.cfg error.log compact-history.csv; do
  [ -f "$inst/$file" ] || fail "the user's $file is gone"
done
echo "kept: $(cd "$inst" && ls -A | tr '\n' ' ')"

# Whether the Start menu's administrator entry starts the copy in folder $1.
admin_entry_in() {
  $admin || return 0
  lnkinfo "$menu/Quillet Administrator.lnk" 2>&1 | tr '\\' '/' | grep -qi "$(win "$1" | tr '\\' '/')/QuilletAdmin.exe"
}
# Runs an uninstaller in place (_?=), so that its own exit code comes back.
uninstall_in() { wine "$1/Uninstall.exe" /S "_?=$(win "$1")"; }

echo "--- a running program: the setup and the uninstaller refuse, and change nothing"
wine "$setup" /S || fail "install again"
wineserver -w
running=Quillet.exe # a program whose file a running copy holds
if $admin; then
  running=QuilletAdmin.exe
  wine "$inst/QuilletAdmin.exe" >/dev/null 2>&1 &
else
  wine "$inst/Quillet.exe" >/dev/null 2>&1 & # no configuration: it ends at once, so this is weak
fi
holder=$!
sleep 4
before=$(md5sum "$inst/$running")
if wine "$setup" /S; then fail "the setup reported success over a running $running"; fi
[ "$(md5sum "$inst/$running")" = "$before" ] || fail "the setup changed the running $running"
if uninstall_in "$inst"; then fail "the uninstaller reported success while $running runs"; fi
for file in Quillet.exe QuilletSched.exe "$running" Uninstall.exe; do
  [ -f "$inst/$file" ] || fail "the refused uninstall removed $file"
done
wine reg query "$key" >/dev/null 2>&1 || fail "the refused uninstall removed the uninstall entry"
[ -f "$menu/Uninstall Quillet.lnk" ] || fail "the refused uninstall removed the Start menu entry"
kill "$holder" 2>/dev/null || true
wineserver -k 2>/dev/null || true
wait "$holder" 2>/dev/null || true
wineserver -w

echo "--- a second install elsewhere replaces the first, whose user files stay"
cp "$inst/Uninstall.exe" "$scratch/old-uninstaller.exe"
other=$scratch/elsewhere/Quillet
mkdir -p "$(dirname "$other")"
wine "$setup" /S "/D=$(win "$other")" || fail "the second install"
wineserver -w
for file in Quillet.exe QuilletSched.exe QuilletAdmin.exe Quillet.hlp Uninstall.exe; do
  [ ! -e "$inst/$file" ] || fail "the first copy's $file is still there"
done
for file in nightly.cfg error.log compact-history.csv; do
  [ -f "$inst/$file" ] || fail "the first copy's user file $file is gone"
done
[ -f "$other/Quillet.exe" ] && [ -f "$other/Uninstall.exe" ] || fail "the second copy's programs"
wine reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' | grep -qiF "$(win "$other")" ||
  fail "the uninstall entry does not name the second copy"
admin_entry_in "$other" || fail "the Start menu does not start the second copy"

echo "--- the first copy's uninstaller afterwards leaves the second copy's entries alone"
cp "$scratch/old-uninstaller.exe" "$inst/Uninstall.exe"
uninstall_in "$inst" || fail "the first copy's uninstaller"
wine reg query "$key" >/dev/null 2>&1 || fail "the first copy's uninstaller removed the second's uninstall entry"
[ -f "$menu/Uninstall Quillet.lnk" ] || fail "the first copy's uninstaller removed the second's Start menu"
admin_entry_in "$other" || fail "the Start menu no longer starts the second copy"
uninstall_in "$other" || fail "the second copy's uninstaller"
rm -f "$other/Uninstall.exe" # run in place, it cannot remove itself
[ ! -e "$menu" ] || fail "the second copy's uninstaller left the Start menu folder"
! wine reg query "$key" >/dev/null 2>&1 || fail "the second copy's uninstaller left the uninstall entry"
echo "setup tests passed"
