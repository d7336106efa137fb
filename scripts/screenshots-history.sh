#!/usr/bin/env bash
# Screenshot of the history window for the README, over a month of sample nights:
# the main window opens it through View > History, and a row of the last night is
# selected, so the size chart and the pass's error.log lines show.
#   scripts/screenshots-history.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_binaries "${1:-}"
xsession_require Xvfb import xwininfo xdotool awk
xsession_start quillet-history-screens 1240x900
cp "$bin/QuilletAdmin" "$work/"

cat >"$work/Nightly.cfg" <<CFG
[Defaults]
CompactFiles=/srv/access/orders.mdb|/srv/access/customers.mdb|/srv/access/stock.mdb|/srv/access/archive 2023.mdb|
Description=Nightly compaction of the order databases
CFG
cat >"$work/Quillet.ini" <<INI
[Defaults]
LastCfgPath=$work/Nightly.cfg
QuilletPath=$work/Quillet
INI

# Thirty nights: orders.mdb grows by day and shrinks at night; stock.mdb has been in
# use for the last week; customers.mdb failed twice; the archive never changes. A
# weekly configuration runs on Sundays.
stamp() { date -d "$1" +"%x %X"; }
history="$work/compact-history.csv"
log="$work/error.log"
printf 'start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n' >"$history"
: >"$log"
for day in $(seq 0 29); do
  date=$(date -d "2026-11-09 +$day days" +%F)
  start="${date}T01:00:0$((day % 7))+01:00"
  awk -v d="$day" -v s="$start" -v cfg="$work/Nightly.cfg" 'BEGIN {
    MB = 1048576
    before = int((420 + 9 * d + (d % 3) * 14) * MB); after = int(before * 0.58)
    printf "%s,%s,/srv/access/orders.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, before, after, 38 + d % 5
    c = int((160 + 2 * d) * MB)
    if (d == 11) printf "%s,%s,/srv/access/customers.mdb,failed,3,%d,,4.210,Unrecognized database format\r\n", s, cfg, c
    else if (d == 19) printf "%s,%s,/srv/access/customers.mdb,timed-out,,%d,,1800.000,\r\n", s, cfg, c
    else printf "%s,%s,/srv/access/customers.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, c, int(c * 0.81), 12 + d % 4
    k = int((90 + d) * MB)
    if (d >= 23) printf "%s,%s,/srv/access/stock.mdb,in-use,,%d,,,locked by PC-WAREHOUSE\r\n", s, cfg, k
    else printf "%s,%s,/srv/access/stock.mdb,ok,0,%d,%d,%.3f,\r\n", s, cfg, k, int(k * 0.7), 7.5
    printf "%s,%s,/srv/access/archive 2023.mdb,unchanged,,%d,%d,,\r\n", s, cfg, 1240 * MB, 1240 * MB
  }' >>"$history"
  if ((day == 11)); then
    echo "$(stamp "$date 01:00:52") Exit code 3 from $work/QuilletEngine /srv/access/customers.mdb /compact" >>"$log"
  fi
  if ((day == 19)); then
    echo "$(stamp "$date 01:30:41") Time limit of 30 minutes reached; stopped $work/QuilletEngine /srv/access/customers.mdb /compact" >>"$log"
  fi
  if ((day >= 23)); then
    echo "$(stamp "$date 01:00:5$((day % 10))") .mdb file: /srv/access/stock.mdb is in use; not compacted." >>"$log"
  fi
  if (($(date -d "$date" +%u) == 7)); then
    printf '%sT03:00:00+01:00,%s,/srv/access/reports.mdb,ok,0,%d,%d,95.020,\r\n' "$date" "$work/Weekly.cfg" \
      $(((2100 + day * 11) * 1048576)) $(((1650 + day * 4) * 1048576)) >>"$history"
  fi
done

admin_start 0
main=$(window_id "Quillet - $work/Nightly.cfg")
sleep 1.5
import "${frame[@]}" -window "$main" "$out/main-window-last-run.png"
keys "$main" alt+v h
history_window=$(window_id "Compaction History")
sleep 1.5
# The third row of the table: the last night's stock.mdb, in use.
xdotool windowactivate --sync "$history_window" 2>/dev/null || true
eval "$(xdotool getwindowgeometry --shell "$history_window")"
xdotool mousemove --window "$history_window" 300 "${TABLE_ROW_Y:-133}" click 1
sleep 1
import "${frame[@]}" -window "$history_window" "$out/history-window.png"
echo "wrote $out/history-window.png and $out/main-window-last-run.png"
