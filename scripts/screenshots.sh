#!/usr/bin/env bash
# Screenshots of the administrator for the README: the splash window and the main
# window with a sample configuration, taken on a virtual X server.
#   scripts/screenshots.sh [BIN_DIR]   (default: build/default/bin)
# Needs Xvfb and ImageMagick's import; uses openbox for window frames when installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/xsession.sh"
xsession_binaries "${1:-}"
xsession_require Xvfb import xwininfo
# The main window cannot be maximised; the title bar shows no button for it.
xsession_start quillet-screens 1024x700 '<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><titleLayout>NLIC</titleLayout></theme></openbox_config>'
cp "$bin/QuilletAdmin" "$work/"
for extra in Quillet QuilletEngine Quillet.hlp; do
  [[ -e "$bin/$extra" ]] && cp "$bin/$extra" "$work/"
done

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

admin_start 5000
splash=$(window_id "Loading Quillet")
sleep 1
import -window "$splash" "$out/splash.png"

main=$(window_id "Quillet - $work/Nightly.cfg")
sleep 1.5
import "${frame[@]}" -window "$main" "$out/main-window.png"
echo "wrote $out/splash.png and $out/main-window.png"
