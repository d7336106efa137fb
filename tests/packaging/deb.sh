#!/usr/bin/env bash
# The Debian package: lintian finds no error, its files lie where the desktop and man
# conventions expect them, and its programs, unpacked into a scratch root and run from
# there, write every file into the user's data folder and none into their own.
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=$(QUILLET_SKIP_SETUP=1 bash scripts/package.sh deb | tail -n 1)
scratch=$(mktemp -d /tmp/quillet-deb.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "--- lintian"
findings=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian: $findings"
grep -v 'running with root privileges' <<<"$findings" || true

root=$scratch/root
dpkg-deb -x "$deb" "$root"
echo "--- files"
for program in Quillet QuilletAdmin QuilletSched QuilletEngine; do
  [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program"
  [ "$(readlink -f "$root/usr/bin/$program")" = "$root/usr/lib/quillet/$program" ] || fail "/usr/bin/$program is no link to /usr/lib/quillet"
done
for page in Quillet QuilletSched QuilletEngine QuilletAdmin; do
  man=$root/usr/share/man/man1/$page.1.gz
  [ -f "$man" ] || fail "man page $page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
desktop=$root/usr/share/applications/quillet-admin.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'Exec=QuilletAdmin' "$desktop" || fail "desktop entry's Exec"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "icon"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quillet.svg" || fail "icon is no SVG"
[ -s "$root/usr/lib/quillet/Quillet.hlp" ] || fail "the help next to the programs"

echo "--- installed programs write into the user's data folder"
export HOME=$scratch/home
unset XDG_DATA_HOME
data=$HOME/.local/share/quillet
mkdir -p "$HOME" "$scratch/db"
before=$(cd "$root" && find . | sort)
for n in 1 2; do
  sqlite3 "$scratch/db/d$n.db" 'CREATE TABLE t(x); WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<2000)
    INSERT INTO t SELECT randomblob(500) FROM c; DELETE FROM t WHERE rowid % 2 = 0;'
done
printf '[Defaults]\r\nCompactFiles=%s|%s|%s|\r\nAccessPath=%s\r\nOnlyChanged=1\r\n' \
  "$scratch/db/d1.db" "$scratch/db/d2.db" "$scratch/db/missing.db" "$root/usr/bin/QuilletEngine" >"$scratch/db/night.cfg"
(cd "$scratch" && "$root/usr/bin/Quillet" "$scratch/db/night.cfg") || fail "Quillet exit code"
grep -q 'missing.db does not exist' "$data/error.log" || fail "error.log in $data"
[ "$(grep -c ',ok,0,' "$data/compact-history.csv")" = 2 ] || fail "history: $(cat "$data/compact-history.csv")"
[ -d "$data/compact-state" ] || fail "the compactor's state in $data"

# The schedule of the data folder, run by the installed QuilletSched through the link in
# /usr/bin with the compactor next to it, finds the pass's lines in the history the
# compactor wrote there.
while [ "$(date +%M%S)" -ge 5950 ]; do sleep 1; done # the start hour must hold for the check
printf '[Defaults]\r\nStartTime=%s\r\n' "$(date +%H)" >"$data/Quillet.ini"
printf '"Nightly"\t"%s"\t"d|1|"\r\n' "$scratch/db/sched.cfg" >"$data/schedfile.dat"
sqlite3 "$scratch/db/d1.db" 'DELETE FROM t WHERE rowid % 3 = 0;'
printf '[Defaults]\r\nCompactFiles=%s|\r\nAccessPath=%s\r\n' "$scratch/db/d1.db" "$root/usr/bin/QuilletEngine" >"$scratch/db/sched.cfg"
"$root/usr/bin/QuilletSched" --due || fail "QuilletSched --due exit code $?"
grep -q "d|1|$(date +%F)" "$data/schedfile.dat" || fail "the run's day in $data/schedfile.dat"
[ -f "$data/schedcheck.ini" ] || fail "schedcheck.ini in $data"
[ "$(grep -c ',ok,0,' "$data/compact-history.csv")" = 3 ] || fail "history after the scheduled run"

# The administrator starts from the installed folder.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/QuilletAdmin" >"$scratch/admin.log" 2>&1 &
admin=$!
sleep 3
kill -0 "$admin" 2>/dev/null || fail "QuilletAdmin ended: $(cat "$scratch/admin.log")"
kill "$admin"
wait "$admin" 2>/dev/null || true

after=$(cd "$root" && find . | sort)
[ "$before" = "$after" ] || fail "files written next to the programs: $(diff <(echo "$before") <(echo "$after"))"
stat -c '%a' "$data" | grep -x 700 >/dev/null || fail "data folder mode"
echo "data folder: $(cd "$data" && ls -A | tr '\n' ' ')"
echo "deb tests passed"
