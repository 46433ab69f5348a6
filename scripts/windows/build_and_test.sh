#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows build, from Linux: cross-compiles Orvane.exe and dnusb.dll with MinGW-w64 for
# i686 and x86-64, checks their export and import tables, and runs them under Wine (console
# transcripts without a device, end to end against the native device simulator over TCP, and
# the orvane-check companion).
#
#   scripts/windows/build_and_test.sh
#
# Ends by packing each build into a ZIP for Windows users (build/mingw-<arch>/packages/).
# Installs what it needs with apt-get when run as root (MinGW-w64, Wine with 32-bit support,
# CMake, Ninja).  Build trees: build/mingw-i686, build/mingw-x86_64, and build/windows-host
# for the native simulator; the Wine prefix is build/wineprefix; logs go to build/windows-logs.
#   ORVANE_NATIVE_BIN=DIR   use an existing native build's bin directory (zk32-sim, Orvane)
#   ORVANE_WINDOWS_ARCHS="i686 x86_64"   the targets to build and test
# Ends with "N passed, N failed" and a non-zero exit status when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
archs=${ORVANE_WINDOWS_ARCHS:-"i686 x86_64"}
logs="$root/build/windows-logs"
mkdir -p "$logs"
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

passed=0
failed=0
script_start=$(date +%s)

# Announces a stage with the seconds since the script began.
stage() { echo "=== $1 (+$(($(date +%s) - script_start)) s)"; }

# Adds the closing "N passed, N failed" of a test run's output to the totals; a run that
# printed no such line (it broke off) counts as one failure.
tally() {
  local log=$1 line
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "FAIL: $2 ended without a result"
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
  failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
}

give_up() {
  echo "FAIL: $1"
  failed=$((failed + 1))
  echo "$passed passed, $failed failed"
  exit 1
}

# --- Packages -------------------------------------------------------------------------------
install_packages() {
  local wanted=(cmake ninja-build g++ mingw-w64 wine wine64 wine32:i386)
  local missing=() p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "Missing packages: ${missing[*]}"
    echo "Install them with: sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
      "sudo apt-get install -y ${missing[*]}"
    return 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # Another installation may hold the dpkg lock: wait for it rather than fail.
  apt-get -o DPkg::Lock::Timeout=900 update -qq &&
    apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
}

stage "packages"
install_packages || give_up "the packages for the Windows build are not installed"

# --- Cross builds ---------------------------------------------------------------------------
for arch in $archs; do
  stage "cross build $arch"
  cmake --preset "mingw-$arch" -DORVANE_WERROR=ON >"$logs/configure-$arch.log" 2>&1 ||
    { cat "$logs/configure-$arch.log"; give_up "configure $arch"; }
  cmake --build --preset "mingw-$arch" || give_up "cross build $arch"
done

# --- Native simulator (and the native program the transcripts are compared with) -----------
native_bin=${ORVANE_NATIVE_BIN:-}
if [ -z "$native_bin" ]; then
  stage "native simulator build"
  native_bin="$root/build/windows-host/bin"
  cmake -S . -B build/windows-host -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF >"$logs/configure-host.log" 2>&1 ||
    { cat "$logs/configure-host.log"; give_up "configure the native build"; }
  cmake --build build/windows-host -j 2 --target zk32-sim Orvane orvane_runtime_files ||
    give_up "native build"
fi

# --- Export and import tables ---------------------------------------------------------------
for arch in $archs; do
  stage "tables $arch"
  log="$logs/tables-$arch.log"
  cmake -DOBJDUMP="$arch-w64-mingw32-objdump" -DBIN="build/mingw-$arch/bin" -DARCH="$arch" \
    -DDEF=dnusb/dnusb.def -P tests/windows/check_binding.cmake >"$log" 2>&1
  cat "$log"
  tally "$log" "table check $arch"
done

# --- Wine -----------------------------------------------------------------------------------
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  stage "Wine prefix"
  wineboot -i >"$logs/wineprefix.log" 2>&1
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || give_up "the Wine prefix could not be made"
fi

for arch in $archs; do
  stage "Wine console $arch"
  log="$logs/wine-console-$arch.log"
  tests/windows/wine_console.sh "build/mingw-$arch/bin" >"$log" 2>&1
  cat "$log"
  tally "$log" "Wine console $arch"

  stage "Wine with the simulator $arch"
  log="$logs/wine-simulator-$arch.log"
  tests/windows/wine_simulator.sh "build/mingw-$arch/bin" "$native_bin" >"$log" 2>&1
  cat "$log"
  tally "$log" "Wine with the simulator $arch"

  stage "orvane-check under Wine $arch"
  log="$logs/wine-check-$arch.log"
  tests/windows/wine_check.sh "build/mingw-$arch/bin" "$native_bin" >"$log" 2>&1
  cat "$log"
  tally "$log" "orvane-check under Wine $arch"
done

# --- The ZIP for Windows users -------------------------------------------------------------
for arch in $archs; do
  stage "ZIP $arch"
  if (cd "build/mingw-$arch" && cpack -G ZIP >"$logs/zip-$arch.log" 2>&1); then
    zip_file=$(ls "build/mingw-$arch"/packages/orvane-*.zip 2>/dev/null | head -1)
    listing=$(cmake -E tar tf "$zip_file" 2>/dev/null || true)
    missing=""
    for f in Orvane.exe dnusb.dll dnusb-list.exe orvane-check.exe orvane-monitor.exe orvane-debug.exe \
             config.ini README.txt LICENSE.txt writer/README.txt user/README.txt include/dnusb.h; do
      grep -q "/$f\$" <<<"$listing" || missing="$missing $f"
    done
    # Every text file for Windows users has CR LF line ends, and only those.
    lf_only=$(python3 - "$zip_file" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for name in z.namelist():
        if name.endswith((".txt", ".ini")):
            data = z.read(name)
            if data.count(b"\n") != data.count(b"\r\n"):
                print(name)
PY
)
    [ -z "$lf_only" ] || missing="$missing (LF line ends: $lf_only)"
    if [ -z "$missing" ]; then
      echo "PASS: $zip_file"
      passed=$((passed + 1))
    else
      echo "FAIL: $zip_file lacks$missing"
      failed=$((failed + 1))
    fi
  else
    cat "$logs/zip-$arch.log"
    echo "FAIL: cpack ZIP $arch"
    failed=$((failed + 1))
  fi
done

stage "done in $(($(date +%s) - script_start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
