# Shared by the screenshot scripts: a virtual X server with a window manager, a work
# folder of its own (so the administrator's settings land there and not in the build),
# and a way to wait for a window by its title.
#   xsession_binaries BIN_DIR [FILE...]
# sets $bin (BIN_DIR, or the default build's) and $out (docs/), and stops unless
# QuilletAdmin and each FILE are there;
#   xsession_start WORK_NAME SCREEN_SIZE [OPENBOX_CONFIG_XML]
# sets $work and $DISPLAY, and $frame to import's option for window frames.

pids=()
xsession_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap xsession_cleanup EXIT

xsession_require() { # tools...
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 1; }
  done
}

xsession_binaries() { # bin folder or "", files besides QuilletAdmin...
  local root file
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  bin=$(cd "${1:-$root/build/default/bin}" && pwd)
  out="$root/docs"
  shift
  [[ -x "$bin/QuilletAdmin" ]] || { echo "no $bin/QuilletAdmin: build first" >&2; exit 1; }
  for file in "$@"; do
    [[ -f "$bin/$file" ]] || { echo "no $bin/$file: build first" >&2; exit 1; }
  done
  mkdir -p "$out"
}

xsession_start() {
  work="${TMPDIR:-/tmp}/$1"
  rm -rf "$work"
  mkdir -p "$work"
  local display=91
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "$2x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
  frame=()
  if command -v openbox >/dev/null; then
    local config=()
    if [[ -n "${3:-}" ]]; then
      printf '%s\n' "$3" >"$work/openbox-rc.xml"
      config=(--config-file "$work/openbox-rc.xml")
    fi
    openbox "${config[@]}" >/dev/null 2>&1 &
    pids+=($!)
    frame=(-frame)
    sleep 1
  fi
}

# The window id of the first top-level window with this exact title, waiting for it.
window_id() {
  local id=""
  for _ in $(seq 100); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) && !n++ { print $1 }')
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  return 1
}

# The administrator copied into $work, started with this splash time in milliseconds.
admin_start() {
  "$work/QuilletAdmin" --splash-ms="$1" >"$work/admin.log" 2>&1 &
  pids+=($!)
}

keys() { # window, keys...
  local win=$1
  shift
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
  xdotool key --clearmodifiers "$@"
}
