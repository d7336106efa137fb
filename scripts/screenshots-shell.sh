#!/usr/bin/env bash
# Screenshots of the about box and the help viewer for the README, taken from the real
# administrator on a virtual X server: the about box through Help > About, the help
# viewer through F1 in the about box and through Help > Keyword Search.
#   scripts/screenshots-shell.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_binaries "${1:-}" Quillet.hlp
xsession_require Xvfb import xwininfo xdotool
xsession_start quillet-shell-screens 1100x760
cp "$bin/QuilletAdmin" "$bin/Quillet.hlp" "$work/"

cat >"$work/Quillet.ini" <<INI
[Defaults]
LastCfgPath=
INI

admin_start 0
main=$(window_id "Quillet - Config1")
sleep 1

keys "$main" alt+h a
about=$(window_id "About Quillet")
sleep 1
import "${frame[@]}" -window "$about" "$out/about-box.png"

# F1 in the about box: the help viewer at the about topic.
keys "$about" F1
help=$(window_id "Quillet Help")
sleep 1.5
import "${frame[@]}" -window "$help" "$out/help-about-topic.png"
keys "$help" Escape alt+F4 2>/dev/null || true
sleep 0.5
keys "$about" Escape
sleep 0.5

# Help > Keyword Search, then a few letters typed into the index.
keys "$main" alt+h s
help=$(window_id "Quillet Help")
sleep 1
xdotool type --delay 80 "sch"
sleep 1
import "${frame[@]}" -window "$help" "$out/help-viewer.png"
echo "wrote $out/about-box.png, $out/help-about-topic.png and $out/help-viewer.png"
