#!/usr/bin/env bash
# Screenshots of the Windows administrator under wine, for the README: the main window
# with a sample nightly configuration, its options dialog and the about box.
#   scripts/screenshots-win32.sh [BIN_DIR]   (default: build/mingw/bin)
# Needs wine, Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
source "$root/scripts/lib/winesession.sh"
xsession_require wine Xvfb import xwininfo xdotool
wine_binaries "${1:-}"
xsession_start quillet-win32-screens 1024x768
wine_start

cfg="$work/Nightly.cfg"
printf '[Defaults]\r\nCompactFiles=D:\\Data\\orders.mdb|D:\\Data\\stock.accdb|D:\\Data\\archive 2025.mdb|\r\nDescription=Nightly compaction of the order databases\r\nRepair=1\r\nLogin=admin\r\nPassword=secret\r\nTimeLimit=30\r\nSkipInUse=1\r\nBackupFolder=E:\\Backups\\Databases\r\nBackupKeep=7\r\nOnlyChanged=1\r\nParallel=1\r\n' >"$cfg"
printf '[Defaults]\r\nLastCfgPath=%s\r\nAccessPath=C:\\Program Files\\Microsoft Office\\root\\Office16\\MSACCESS.EXE\r\n' \
  "$(winpath "$cfg")" >"$work/Quillet.ini"
# A pass of last night in the history, for the status bar.
printf 'start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n' >"$work/compact-history.csv"
for db in 'orders.mdb,ok,0,7786496,2600960' 'stock.accdb,ok,0,3907584,1306624' 'archive 2025.mdb,in-use,,,'; do
  IFS=, read -r name outcome code before after <<<"$db"
  printf '2026-12-08T01:00:03+01:00,%s,D:\\Data\\%s,%s,%s,%s,%s,0.5,\r\n' "$(winpath "$cfg")" "$name" "$outcome" "$code" \
    "$before" "$after" >>"$work/compact-history.csv"
done

wine_admin_start
wine_title_shown "Quillet - $(winpath "$cfg")"
main=$(xwininfo -root -tree | grep -F "\"Quillet - $(winpath "$cfg")\"" | awk '!n++ { print $1 }')
sleep 4
import "${frame[@]}" -window "$main" "$out/win32-main-window.png"
keys "$main" alt+f p
options=$(window_id "Options for Unattended Passes")
sleep 1.5
import "${frame[@]}" -window "$options" "$out/win32-options.png"
keys "$options" Escape
sleep 0.5
keys "$main" alt+h a
about=$(window_id "About Quillet")
sleep 1.5
import "${frame[@]}" -window "$about" "$out/win32-about.png"
keys "$about" Return
echo "wrote $out/win32-main-window.png, win32-options.png and win32-about.png"
