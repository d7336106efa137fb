#!/usr/bin/env bash
# Screenshot of the options dialog for unattended passes, for the README: the main
# window opens it through File > Options... for a sample nightly configuration.
#   scripts/screenshots-options.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_binaries "${1:-}"
xsession_require Xvfb import xwininfo xdotool
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

admin_start 0
main=$(window_id "Quillet - $work/Nightly.cfg")
sleep 1.5
keys "$main" alt+f p
options=$(window_id "Options for Unattended Passes")
sleep 1
import "${frame[@]}" -window "$options" "$out/options-dialog.png"
echo "wrote $out/options-dialog.png"
