#!/usr/bin/env bash
# Screenshots of the Windows setup for the README, taken from the real setup under wine
# on a virtual X server: the welcome page, the install folder and the last page of the setup, and the
# uninstaller's confirmation and last page.
#   scripts/screenshots-setup.sh   (builds the setup with scripts/package.sh windows)
# Needs Xvfb, ImageMagick's import, x11-utils, xdotool and wine; openbox draws frames.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_require Xvfb import xwininfo xdotool wine makensis
setup=$(QUILLET_SKIP_SETUP=1 bash "$root/scripts/package.sh" windows | tail -n 1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/mingw/CMakeCache.txt")
out="$root/docs"
xsession_start quillet-setup-screens 1000x700
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wineboot --init >/dev/null 2>&1
wineserver -w
stop_wine() { wineserver -k 2>/dev/null || true; xsession_cleanup; rm -rf "$WINEPREFIX"; }
trap stop_wine EXIT

# NSIS puts a blank after the title of every page but the setup's first, so each
# window is found once, by the title of its first page.
shot() { # window id, file
  sleep 1.5
  import "${frame[@]}" -window "$1" "$out/$2"
  echo "$out/$2"
}

wine "$setup" >/dev/null 2>&1 &
win=$(window_id "Quillet $version Setup")
shot "$win" setup-welcome.png
keys "$win" Return # past the welcome page
shot "$win" setup-folder.png
keys "$win" Return # install
sleep 3
keys "$win" Return # past the list of what was done
shot "$win" setup-finish.png
keys "$win" Return # Finish, which starts the administrator
# A running administrator would stop the uninstaller below, as it would a user's.
sleep 3
wineserver -k 2>/dev/null || true
wineserver -w

inst=$(winepath -u "$(wine cmd /c echo '%LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Programs\\Quillet" 2>/dev/null)
wine "$inst/Uninstall.exe" >/dev/null 2>&1 &
win=$(window_id "Quillet $version Uninstall ")
shot "$win" uninstall-confirm.png
keys "$win" Return # Uninstall
for _ in $(seq 60); do [ -e "$inst/Uninstall.exe" ] || break; sleep 0.5; done
sleep 1
shot "$win" uninstall-done.png
keys "$win" alt+c # Close
wineserver -w
