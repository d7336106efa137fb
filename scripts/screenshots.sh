#!/usr/bin/env bash
# Screenshots of the administrator for the README: the splash window and the main
# window with a sample configuration, taken on a virtual X server.
#   scripts/screenshots.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb and ImageMagick's import; uses openbox for window frames when installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default/bin}" && pwd)
out="$root/docs"
[[ -x "$bin/QuilletAdmin" ]] || { echo "no $bin/QuilletAdmin: build first" >&2; exit 1; }
for tool in Xvfb import xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb imagemagick x11-utils)" >&2; exit 1; }
done

# A folder of its own, so the administrator's settings land there and not in the build.
work="${TMPDIR:-/tmp}/quillet-screens"
rm -rf "$work"
mkdir -p "$work" "$out"
cp "$bin/QuilletAdmin" "$work/"
for extra in Quillet QuilletEngine Quillet.hlp; do
  [[ -e "$bin/$extra" ]] && cp "$bin/$extra" "$work/"
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

display=91
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
if command -v openbox >/dev/null; then
  # The main window cannot be maximised; the title bar shows no button for it.
  cat >"$work/openbox-rc.xml" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><titleLayout>NLIC</titleLayout></theme></openbox_config>
RC
  openbox --config-file "$work/openbox-rc.xml" >/dev/null 2>&1 &
  pids+=($!)
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

cat >"$work/Nightly.cfg" <<CFG
[Defaults]
CompactFiles=/srv/access/orders.mdb|/srv/access/customers.mdb|/srv/access/archive 2023.mdb|
AccessPath=$work/QuilletEngine
Description=Nightly compaction of the order databases
Repair=1
Workgroup=/srv/access/system.mdw
Login=admin
Encrypt=1
Password=xjhwjy
LaunchFile=/usr/local/bin/notify-done
CFG
cat >"$work/Quillet.ini" <<INI
[Defaults]
LastCfgPath=$work/Nightly.cfg
INI

QUILLET_SPLASH_MS=5000 "$work/QuilletAdmin" >"$work/admin.log" 2>&1 &
pids+=($!)
splash=$(window_id "Loading Quillet")
sleep 1
import -window "$splash" "$out/splash.png"

main=$(window_id "Quillet - $work/Nightly.cfg")
sleep 1.5
if command -v openbox >/dev/null; then
  import -frame -window "$main" "$out/main-window.png"
else
  import -window "$main" "$out/main-window.png"
fi
echo "wrote $out/splash.png and $out/main-window.png"
