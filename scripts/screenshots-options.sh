#!/usr/bin/env bash
# Screenshot of the options dialog for unattended passes, for the README: the main
# window opens it through File > Options... for a sample nightly configuration.
#   scripts/screenshots-options.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default/bin}" && pwd)
out="$root/docs"
[[ -x "$bin/QuilletAdmin" ]] || { echo "no $bin/QuilletAdmin: build first" >&2; exit 1; }
source "$root/scripts/lib/xsession.sh"
xsession_require Xvfb import xwininfo xdotool
mkdir -p "$out"
xsession_start quillet-options-screens 1024x700
cp "$bin/QuilletAdmin" "$work/"

cat >"$work/Nightly.cfg" <<CFG
[Defaults]
CompactFiles=/srv/access/orders.mdb|/srv/access/customers.mdb|
Description=Nightly compaction of the order databases
TimeLimit=30
SkipInUse=1
BackupFolder=/srv/backups/access
BackupKeep=7
OnlyChanged=1
Parallel=1
CFG
cat >"$work/Quillet.ini" <<INI
[Defaults]
LastCfgPath=$work/Nightly.cfg
INI

QUILLET_SPLASH_MS=0 "$work/QuilletAdmin" >"$work/admin.log" 2>&1 &
pids+=($!)
main=$(window_id "Quillet - $work/Nightly.cfg")
sleep 1.5
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f p
options=$(window_id "Options for Unattended Passes")
sleep 1
import "${frame[@]}" -window "$options" "$out/options-dialog.png"
echo "wrote $out/options-dialog.png"
