#!/usr/bin/env bash
# One pass of real input through the Windows administrator under wine: type a
# description, add a database, save under a new name, check the file written; open the
# scheduler, type an entry into its grid, save, check "schedfile.dat"; then close with a
# change and answer the question.
#   scripts/win32-smoke.sh [BIN_DIR]   (default: build/mingw/bin)
# Needs wine, Xvfb, openbox, x11-utils and xdotool.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
source "$root/scripts/lib/winesession.sh"
xsession_require wine Xvfb xwininfo xdotool openbox
wine_binaries "${1:-}"
xsession_start quillet-win32-smoke 1024x768
wine_start
start=$SECONDS

fail() {
  echo "win32 smoke: $*" >&2
  echo "--- windows" >&2
  xwininfo -root -tree 2>/dev/null | grep -o '"[^"]*"' | sort -u >&2 || true
  import -window root /tmp/smoke-fail.png 2>/dev/null || true
  echo "--- admin.log" >&2
  cat "$work/admin.log" >&2 || true
  exit 1
}
# Text of a file a Windows program wrote, without carriage returns.
text() { tr -d '\r' <"$1"; }

# File > Save As, a name typed into the dialog and Enter, until the main window's
# caption is this title; three tries. On a fresh prefix the common dialog can take
# keys before its name box has the focus and lose some of them: each try puts the
# focus there by its mnemonic and replaces what the box holds, and a garbled name
# that the administrator could not write (its error box) is answered before the next.
save_as() { # name, title
  local dialog box
  for _ in 1 2 3; do
    if ! dialog=$(window_shown "Save As"); then
      box=$(window_shown "Quilletadmin") && keys "$box" Return && sleep 0.5
      keys "$main" alt+f a
      dialog=$(window_id "Save As") || return 1
    fi
    sleep 2
    keys "$dialog" alt+n End shift+Home BackSpace
    xdotool type --delay 20 "$1"
    xdotool key Return
    wine_title_shown "$2" && return 0
    echo "win32 smoke: the Save As dialog lost keys; again" >&2
  done
  return 1
}

# The id of a window with this title shown now (not one of wine's 1x1 helpers).
window_shown() {
  local id
  id=$(xwininfo -root -tree | awk -v t="\"$1\"" 'index($0, t) && !/ 1x1\+/ && !n++ { print $1 }')
  [[ -n "$id" ]] && echo "$id"
}

printf 'database' >"$work/orders.mdb"
wine_admin_start
main=$(window_id "Quillet - Config1") || fail "the main window did not show"
sleep 1

keys "$main" alt+d
xdotool type --delay 20 "Nightly smoke"
keys "$main" alt+i Insert
add=$(window_id "Add Databases") || fail "no Add Databases dialog"
sleep 0.5
xdotool type --delay 20 "$(winpath "$work/orders.mdb")"
xdotool key Return
sleep 1

save_as "$(winpath "$work/smoke")" "Quillet - $(winpath "$work/smoke.cfg")" ||
  fail "the caption does not name the saved file"

[[ -f "$work/smoke.cfg" ]] || fail "smoke.cfg was not written"
text "$work/smoke.cfg" | grep -qx "Description=Nightly smoke" || fail "no description in smoke.cfg"
text "$work/smoke.cfg" | grep -qxF "CompactFiles=$(winpath "$work/orders.mdb")|" || fail "no database in smoke.cfg"

# The scheduler: a double-click on the first entry's description opens its editor,
# Enter stores it, F2 edits the path beside it; File > Save Changes writes the file.
keys "$main" alt+v c
sched=$(window_id "Quillet Scheduler") || fail "the scheduler did not show"
sleep 1
xdotool mousemove --window "$sched" 150 100 click --repeat 2 --delay 80 1
sleep 0.5
xdotool type --delay 20 "Smoke entry"
xdotool key Return Right F2
sleep 0.3
xdotool type --delay 20 "$(winpath "$work/smoke.cfg")"
xdotool key Return
keys "$sched" alt+f s
sleep 1
[[ -f "$work/schedfile.dat" ]] || fail "schedfile.dat was not written"
printf '"Smoke entry"\t"%s"\t\n' "$(winpath "$work/smoke.cfg")" | cmp -s - <(text "$work/schedfile.dat") ||
  fail "schedfile.dat holds $(text "$work/schedfile.dat" | od -c | head -5)"
keys "$sched" alt+F4
sleep 0.5

# A change, then close: the question comes, No leaves the file as saved.
keys "$main" alt+d End
xdotool type --delay 20 " changed"
keys "$main" alt+F4
confirm=$(window_id "Confirm") || fail "closing with a change did not ask"
xdotool windowactivate --sync "$confirm" 2>/dev/null || true
xdotool key --clearmodifiers n
for _ in $(seq 100); do kill -0 "$admin_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$admin_pid" 2>/dev/null && fail "the administrator did not close"
text "$work/smoke.cfg" | grep -qx "Description=Nightly smoke" || fail "No saved the change all the same"
text "$work/Quillet.ini" | grep -qxF "LastCfgPath=$(winpath "$work/smoke.cfg")" || fail "Quillet.ini does not name smoke.cfg"
echo "win32 smoke: passed in $((SECONDS - start)) s"
