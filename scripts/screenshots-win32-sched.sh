#!/usr/bin/env bash
# Screenshots of the Windows scheduler and history windows under wine, for the README:
# a schedule of three entries, and a month of sample nights in the history with a row
# of the last night selected.
#   scripts/screenshots-win32-sched.sh [BIN_DIR]   (default: build/mingw/bin)
# Needs wine, Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
source "$root/scripts/lib/winesession.sh"
xsession_require wine Xvfb import xwininfo xdotool awk
wine_binaries "${1:-}"
xsession_start quillet-win32-sched-screens 1240x900
wine_start

cfg='D:\Quillet\Nightly.cfg'
printf '"Nightly, order databases"\t"%s"\t"d|1|2026-12-07"\r\n"Weekly archive"\t"D:\\Quillet\\Archive.cfg"\t"w|1|2026-12-06"\r\n"Stock, by hand"\t"D:\\Quillet\\Stock.cfg"\t\r\n' \
  "$cfg" >"$work/schedfile.dat"
printf '[Defaults]\r\nTimerInterval=60\r\nStartTime=01\r\n' >"$work/Quillet.ini"

# Thirty nights: orders.mdb grows by day and shrinks at night; stock.mdb has been in
# use for the last week; customers.mdb failed once; the archive never changes.
history="$work/compact-history.csv"
printf 'start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n' >"$history"
for day in $(seq 0 29); do
  date=$(date -d "2026-11-08 +$day days" +%F)
  awk -v d="$day" -v s="${date}T01:00:0$((day % 7))+01:00" -v cfg="$cfg" 'BEGIN {
    MB = 1048576
    before = int((420 + 9 * d + (d % 3) * 14) * MB); after = int(before * 0.58)
    printf "%s,%s,D:\\Data\\orders.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, before, after, 38 + d % 5
    c = int((160 + 2 * d) * MB)
    if (d == 11) printf "%s,%s,D:\\Data\\customers.mdb,failed,3,%d,,4.210,Unrecognized database format\r\n", s, cfg, c
    else printf "%s,%s,D:\\Data\\customers.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, c, int(c * 0.81), 12 + d % 4
    k = int((90 + d) * MB)
    if (d >= 23) printf "%s,%s,D:\\Data\\stock.mdb,in-use,,%d,,,locked by PC-WAREHOUSE\r\n", s, cfg, k
    else printf "%s,%s,D:\\Data\\stock.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, k, int(k * 0.7), 7.5
    printf "%s,%s,D:\\Data\\archive 2023.mdb,unchanged,,%d,%d,,\r\n", s, cfg, 1240 * MB, 1240 * MB
  }' >>"$history"
done

wine_admin_start
main=$(window_id "Quillet - Config1")
sleep 3
keys "$main" alt+v c
sched=$(window_id "Quillet Scheduler")
sleep 1.5
xdotool mousemove --window "$sched" 150 125 click 1
sleep 1
import "${frame[@]}" -window "$sched" "$out/win32-scheduler.png"
keys "$sched" alt+F4
sleep 1
keys "$main" alt+v h
hist=$(window_id "Compaction History")
sleep 3
xdotool mousemove --window "$hist" 300 128 click 1
sleep 2
import "${frame[@]}" -window "$hist" "$out/win32-history.png"
echo "wrote $out/win32-scheduler.png and $out/win32-history.png"
