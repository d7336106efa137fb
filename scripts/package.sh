#!/usr/bin/env bash
# Builds the installable packages into build/packages/:
#   quillet_<version>_amd64.deb      Debian package (from the default preset)
#   quillet-<version>-setup.exe      Windows setup (from the mingw preset, NSIS)
# Usage: bash scripts/package.sh [deb|windows|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in deb | windows | all) ;; *) echo "usage: $0 [deb|windows|all]" >&2; exit 64 ;; esac
[ "${QUILLET_SKIP_SETUP:-}" = 1 ] || bash scripts/setup.sh

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
jobs=$(nproc)
out=$PWD/build/packages
mkdir -p "$out"

project_version() { # the version CMake's project() holds, from a configured build folder
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

deb() {
  cmake --preset default >/dev/null
  cmake --build --preset default -j"$jobs" --target Quillet QuilletSched QuilletEngine QuilletAdmin
  local bin=build/default/bin version arch root
  version=$(project_version build/default)
  arch=$(dpkg --print-architecture)
  root=$(mktemp -d "$out/deb-root.XXXXXX")
  trap 'rm -rf "$root"' RETURN

  # The programs lie together in /usr/lib/quillet, as they expect to (each finds the
  # others and the help next to itself); that folder is what marks them as installed
  # (platform/DataFolder.h), so each user's files go to $XDG_DATA_HOME/quillet.
  local lib=$root/usr/lib/quillet program
  for program in Quillet QuilletAdmin QuilletSched QuilletEngine; do
    install -D -m 0755 "$bin/$program" "$lib/$program"
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$lib/$program"
    mkdir -p "$root/usr/bin"
    ln -s "../lib/quillet/$program" "$root/usr/bin/$program"
    if [ -f "packaging/man/$program.1" ]; then
      install -d "$root/usr/share/man/man1"
      sed "s/@VERSION@/$version/" "packaging/man/$program.1" | gzip -9n >"$root/usr/share/man/man1/$program.1.gz"
    fi
  done
  install -D -m 0644 "$bin/Quillet.hlp" "$root/usr/share/quillet/Quillet.hlp"
  ln -s ../../share/quillet/Quillet.hlp "$lib/Quillet.hlp"
  install -D -m 0644 packaging/quillet-admin.desktop "$root/usr/share/applications/quillet-admin.desktop"
  install -D -m 0644 packaging/quillet.svg "$root/usr/share/icons/hicolor/scalable/apps/quillet.svg"
  install -D -m 0644 packaging/debian/copyright "$root/usr/share/doc/quillet/copyright"
  sed "s/@VERSION@/$version/g" packaging/debian/changelog.in | gzip -9n >"$root/usr/share/doc/quillet/changelog.gz"
  chmod 0644 "$root"/usr/share/man/man1/* "$root/usr/share/doc/quillet/changelog.gz"

  # The libraries' packages, as Debian names them.
  local depends
  depends=$(
    cd "$root" && mkdir debian && printf 'Source: quillet\n\nPackage: quillet\nArchitecture: any\n' >debian/control &&
      dpkg-shlibdeps -O -e usr/lib/quillet/Quillet -e usr/lib/quillet/QuilletAdmin \
        -e usr/lib/quillet/QuilletSched -e usr/lib/quillet/QuilletEngine 2>/dev/null |
      sed -n 's/^shlibs:Depends=//p'
  )
  rm -rf "$root/debian"
  # Qt finds no window system without its platform plugins, which libqt6gui6 only recommends.
  depends="$depends, qt6-qpa-plugins"

  install -d -m 0755 "$root/DEBIAN"
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
  chmod 0644 "$root/DEBIAN/md5sums"
  sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
    -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$root" | cut -f1)/" packaging/debian/control.in >"$root/DEBIAN/control"
  find "$root" -type d -exec chmod 0755 {} +
  local deb=$out/quillet_${version}_${arch}.deb
  dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
  echo "$deb"
}

windows() {
  cmake --preset mingw >/dev/null
  local targets=(Quillet QuilletSched quillet_help)
  # The native administrator is in the setup once the mingw preset builds it.
  local with_admin=false
  if ninja -C build/mingw -t targets all | grep '^QuilletAdmin: phony' >/dev/null; then
    targets+=(QuilletAdmin)
    with_admin=true
  fi
  cmake --build --preset mingw -j"$jobs" --target "${targets[@]}"
  local bin=$PWD/build/mingw/bin version
  version=$(project_version build/mingw)
  local setup=$out/quillet-${version}-setup.exe
  local defines=(-DVERSION="$version" -DBIN="$bin" -DHELP="$bin/Quillet.hlp" -DOUTFILE="$setup")
  if $with_admin; then defines+=(-DWITH_ADMIN); fi
  makensis -V2 -NOCD "${defines[@]}" packaging/windows/quillet.nsi >/dev/null
  echo "$setup"
}

case $what in
  deb) deb ;;
  windows) windows ;;
  all) deb && windows ;;
esac
