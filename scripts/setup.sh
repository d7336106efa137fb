#!/usr/bin/env bash
# Installs everything Quillet needs to build, test and run on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
  libsqlite3-dev sqlite3 sqlite3-tools time
  qt6-charts-dev libqt6opengl6-dev systemd libnotify-bin ccache
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 liblnk-utils
  xvfb xauth x11-utils imagemagick xdg-user-dirs openbox xdotool libglib2.0-bin desktop-file-utils
  dpkg-dev fakeroot lintian man-db nsis
  libcurl4-openssl-dev libssl-dev python3-aiosmtpd openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
