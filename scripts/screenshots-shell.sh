#!/usr/bin/env bash
# Screenshots of the about box and the help viewer for the README, taken from the real
# administrator on a virtual X server: the about box through Help > About, the help
# viewer through F1 in the about box and through Help > Keyword Search.
#   scripts/screenshots-shell.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb, ImageMagick's import, x11-utils and xdotool; openbox draws window frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default/bin}" && pwd)
out="$root/docs"
[[ -x "$bin/QuilletAdmin" && -f "$bin/Quillet.hlp" ]] || { echo "no $bin/QuilletAdmin or Quillet.hlp: build first" >&2; exit 1; }
for tool in Xvfb import xwininfo xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb imagemagick x11-utils xdotool)" >&2; exit 1; }
done

# A folder of its own, so the administrator's settings land there and not in the build.
work="${TMPDIR:-/tmp}/quillet-shell-screens"
rm -rf "$work"
mkdir -p "$work" "$out"
cp "$bin/QuilletAdmin" "$bin/Quillet.hlp" "$work/"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

display=95
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1100x760x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
frame=()
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  pids+=($!)
  frame=(-frame)
  sleep 1
fi

# The window id of the first top-level window with this exact title, waiting for it.
window_id() {
  local id=""
  for _ in $(seq 100); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) { print $1; exit }')
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}

keys() { # window, keys...
  local win=$1
  shift
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
  xdotool key --clearmodifiers "$@"
}

cat >"$work/Quillet.ini" <<INI
[Defaults]
LastCfgPath=
INI

QUILLET_SPLASH_MS=0 "$work/QuilletAdmin" >"$work/admin.log" 2>&1 &
pids+=($!)
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
