#!/usr/bin/env bash
# Set-up, then every test: native, under AddressSanitizer + UndefinedBehaviorSanitizer,
# the Windows build under wine, a short fuzz run, and the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
declare -a timings=()
stage() { # name, then the command
  local name=$1 start=$SECONDS
  shift
  echo "=== $name"
  "$@"
  timings+=("$name: $((SECONDS - start)) s")
}

native() {
  cmake --preset default >/dev/null
  cmake --build --preset default -j"$jobs"
  ctest --preset default -j"$jobs"
}

sanitized() {
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp ctest --preset asan -j"$jobs"
}

windows() {
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j"$jobs"
  WINEPREFIX=$(mktemp -d /tmp/quillet-wine.XXXXXX)
  export WINEPREFIX WINEDEBUG=-all
  # No menu entries under the user's home, no Mono or Gecko to ask for.
  WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" wineboot --init >/dev/null 2>&1 || true
  # Windows without an X server: the window tests drive hidden windows by messages.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The prefix's first processes still hold the default driver; a window test that
  # started among them could create no window.
  wineserver -k 2>/dev/null || true
  ctest --preset mingw -j1
  # One pass of real input through QuilletAdmin.exe on a virtual X server, same prefix.
  bash scripts/win32-smoke.sh build/mingw/bin
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

# The Debian package from the native build, unpacked and run from a scratch root; the
# Windows setup from the mingw build, installed and removed under wine.
packaging() {
  bash tests/packaging/deb.sh
  bash tests/packaging/windows.sh
}

# Keep in step with fuzz/CMakeLists.txt.
fuzz_targets=(fuzz_fields fuzz_profile fuzz_delimited fuzz_history fuzz_history_summary fuzz_page_reader fuzz_sound_check)

fuzz() {
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$jobs" --target "${fuzz_targets[@]}"
  for target in "${fuzz_targets[@]}"; do
    corpus=$(mktemp -d)
    log=$(mktemp)
    if ! ./build/fuzz/fuzz/$target -max_total_time="${QUILLET_FUZZ_SECONDS:-30}" "$corpus" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "$target found a failure"
      return 1
    fi
    echo "$target: $(grep -E '^Done' "$log")"
    rm -rf "$corpus" "$log"
  done
}

stage "native build and tests" native
stage "sanitizer build and tests" sanitized
stage "Windows build and tests under wine" windows
stage "fuzzing" fuzz
stage "packaging" packaging

echo "=== stage times"
printf '%s\n' "${timings[@]}"
