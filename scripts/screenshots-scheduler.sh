#!/usr/bin/env bash
# Screenshot of the scheduler window for the README: three entries, and the strip at
# the bottom with the background check's box and its status line.
#   scripts/screenshots-scheduler.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_binaries "${1:-}"
xsession_require Xvfb import xwininfo xdotool
xsession_start quillet-scheduler-screens 1024x700
cp "$bin/QuilletAdmin" "$work/"

printf '[Defaults]\r\nTimerInterval=60\r\nStartTime=01\r\n' >"$work/Quillet.ini"
printf '"Orders, nightly"\t"/srv/configs/orders.cfg"\t"d|1|%s"\r\n' "$(date +%F)" >"$work/schedfile.dat"
printf '"Reports, every other week"\t"/srv/configs/reports.cfg"\t"w|2|%s"\r\n' "$(date -d '-3 days' +%F)" >>"$work/schedfile.dat"
printf '"Archive, by hand"\t"/srv/configs/archive 2023.cfg"\t\r\n' >>"$work/schedfile.dat"
printf '[LastCheck]\r\nStart=%s\r\nExitCode=0\r\nResult=1 entry ran; every database ok or unchanged\r\n' \
  "$(date +%FT01:02:41%:z)" >"$work/schedcheck.ini"

admin_start 0
main=$(window_id "Quillet - Config1")
sleep 1
keys "$main" alt+v c
sched=$(window_id "Quillet Scheduler")
sleep 1.5
import "${frame[@]}" -window "$sched" "$out/scheduler.png"
echo "wrote $out/scheduler.png"
