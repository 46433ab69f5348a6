#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The installed tree as a packager makes it: "cmake --install" into a DESTDIR with the prefix
# /usr.  Checks that every link is relative and resolves inside the tree, that the installed
# program finds its chip table through those links, and that a C program finds the library
# by pkg-config and by find_package and runs against a simulated chip, as does the Python
# ctypes example.
#   check_install_tree.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
sim_dir="$work/sim"
trap '"$build/bin/zk32-sim" stop --dir "$sim_dir" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

tree="$work/root"
DESTDIR="$tree" cmake --install "$build" --prefix /usr >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

# Links: relative, and resolving to something inside the tree.
links=0
while IFS= read -r link; do
  target=$(readlink "$link")
  case "$target" in /*) fail "absolute link ${link#"$tree"} -> $target" ;; esac
  resolved=$(readlink -f "$link") || fail "dangling link ${link#"$tree"}"
  [ -e "$resolved" ] || fail "dangling link ${link#"$tree"} -> $target"
  case "$resolved" in "$tree"/*) ;; *) fail "link ${link#"$tree"} leaves the tree" ;; esac
  links=$((links + 1))
done < <(find "$tree" -type l)
[ "$links" -ge 4 ] || fail "expected the command, config and library links, found $links"

# A bash completion for every command, where bash-completion looks.
for command in orvane orvane-check orvane-monitor orvane-gang dnusb-list zk32-sim; do
  [ -f "$tree/usr/share/bash-completion/completions/$command" ] || fail "no completion for $command"
done

# The command on the PATH reaches config.ini in /etc/orvane through the program folder.
[ -f "$tree/etc/orvane/config.ini" ] || fail "no /etc/orvane/config.ini"
"$tree/usr/bin/orvane" 4710 ini || fail "the installed orvane does not find chip 4710"
"$tree/usr/bin/orvane-monitor" --help >/dev/null ||
  fail "the installed orvane-monitor does not start (its library path)"

libdir=$(dirname "$(find "$tree/usr" -name 'libdnusb.so.1' | head -1)")
export LD_LIBRARY_PATH="$libdir"
"$build/bin/zk32-sim" start --dir "$sim_dir" --mode usb --type 1 >/dev/null
export ZK32_SIM_DIR="$sim_dir"

# The installed commands reach the simulator in one step: the program pointed at the
# simulator's chip table, the sample firmware shipped with it, and orvane-check running the
# same program.  Unset, the installed table holds (it names the chip maker's writer).
share="$tree/usr/share/zk32-sim"
"$tree/usr/bin/orvane" 4710 wf 0 -i "$share/firmware.bin" -u | grep -q " \[124\]: open sram file err" ||
  fail "without ORVANE_CONFIG_DIR the installed chip table should hold"
ORVANE_CONFIG_DIR="$share" "$tree/usr/bin/orvane-check" --verify 4710 wf 0 -i "$share/firmware.bin" -u \
  >"$work/sim-download.log" || { cat "$work/sim-download.log"; fail "download onto the simulator"; }
grep -q "orvane-check: verify: $(stat -c %s "$share/firmware.bin") bytes identical" "$work/sim-download.log" ||
  fail "the download was not verified: $(cat "$work/sim-download.log")"

# A C program built with pkg-config: its paths are the canonical ones (/usr/include, no
# path at all once pkg-config drops the system folders), found in the tree by its sysroot.
[ "$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags dnusb)" = "" ] ||
  fail "dnusb.pc names a non-canonical include path: $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags dnusb)"
PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exists dnusb || fail "pkg-config finds no dnusb"
# shellcheck disable=SC2046
cc -o "$work/by_pkg_config" "$source/examples/c/flash_page.c" \
  $(PKG_CONFIG_PATH="$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$tree" pkg-config --cflags --libs dnusb) ||
  fail "build with pkg-config"
"$work/by_pkg_config" || fail "the pkg-config build against the simulator"

# ...and with find_package(dnusb).
cmake -S "$source/examples/c" -B "$work/by_cmake" -DCMAKE_PREFIX_PATH="$tree/usr" \
  >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "find_package(dnusb)"; }
cmake --build "$work/by_cmake" >"$work/cmake-build.log" 2>&1 ||
  { cat "$work/cmake-build.log"; fail "build with find_package"; }
"$work/by_cmake/flash_page" || fail "the find_package build against the simulator"

# The Python ctypes example with the installed library.
if command -v python3 >/dev/null; then
  python3 "$source/examples/python/dnusb_info.py" "$libdir/libdnusb.so.1" ||
    fail "the Python example"
fi
echo "PASS: $links relative links; installed orvane, C by pkg-config and find_package, Python"
