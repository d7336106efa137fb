# Shared by the scripts that drive the Windows administrator under wine on a virtual X
# server (scripts/lib/xsession.sh): the build's programs copied into the work folder,
# a wine prefix that draws on X, and Windows paths for files there.
#   wine_binaries BIN_DIR      sets $bin (BIN_DIR, or the mingw build's) and $out (docs/)
#   wine_start                 copies the programs into $work, prepares $WINEPREFIX
#                              (a new one in $work unless one is set) and starts wineserver
#   winpath PATH               the path as Windows programs under wine see it

wine_binaries() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  bin=$(cd "${1:-$root/build/mingw/bin}" && pwd)
  out="$root/docs"
  for file in QuilletAdmin.exe Quillet.exe Quillet.hlp; do
    [[ -f "$bin/$file" ]] || { echo "no $bin/$file: build the mingw preset first" >&2; exit 1; }
  done
  mkdir -p "$out"
}

wine_start() {
  cp "$bin/QuilletAdmin.exe" "$bin/Quillet.exe" "$bin/Quillet.hlp" "$work/"
  export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  if [[ -z "${WINEPREFIX:-}" ]]; then
    export WINEPREFIX="$work/wineprefix"
    wineboot --init >/dev/null 2>&1 || true
  fi
  # These windows are drawn on the X server, whatever the tests set before; processes
  # still running with the former driver go first.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -p 2>/dev/null || true
  # The administrator and its helpers end with the script, also when it fails.
  trap 'wineserver -k 2>/dev/null || true; xsession_cleanup' EXIT
}

winpath() {
  printf 'Z:%s' "${1//\//\\}"
}

# The administrator started from $work; its pid in $admin_pid.
wine_admin_start() {
  (cd "$work" && exec wine "$work/QuilletAdmin.exe" >"$work/admin.log" 2>&1) &
  admin_pid=$!
  pids+=("$admin_pid")
}

# Waits for a top-level window whose title holds this text as it stands (Windows
# paths: no escapes); false when none shows.
wine_title_shown() {
  for _ in $(seq 100); do
    # grep reads to the end: an early exit would kill xwininfo with SIGPIPE, a failure
    # under pipefail with the title on screen.
    xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}
