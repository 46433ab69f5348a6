#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# CI for the packages: builds the .deb packages (scripts/package.sh, lintian included),
# installs them on this machine, runs the installed tools - orvane help, --version of every
# other command, the bash completions where bash-completion loads them, the simulator reached
# in one step (the installed program pointed at the simulator's chip table, its sample
# firmware downloaded, verified by orvane-check and by a read-back, and by orvane-gang), the
# library's C example built with pkg-config and with find_package - and removes the packages
# again.  Needs root (it installs packages); otherwise it says SKIP.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing the packages needs root"
  exit 0
fi
for p in orvane orvane-dev zk32-sim; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    echo "SKIP: $p is already installed on this machine; not touching it"
    exit 0
  fi
done

scripts/package.sh

work=$(mktemp -d)
sim_dir="$work/sim"
remove_packages() {
  zk32-sim stop --dir "$sim_dir" >/dev/null 2>&1 || true
  apt-get -o DPkg::Lock::Timeout=900 purge -y -qq orvane orvane-dev zk32-sim >/dev/null 2>&1 ||
    true
  rm -rf "$work"
}
trap remove_packages EXIT

echo "=== install the packages"
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends \
  ./build/package/packages/*.deb >/dev/null
cd "$work"

echo "=== the installed commands"
[ "$(readlink /usr/bin/orvane)" = "../libexec/orvane/Orvane" ] ||
  { echo "FAIL: /usr/bin/orvane is not the relative link"; exit 1; }
orvane help >help.txt
head -4 help.txt
for command in dnusb-list zk32-sim orvane-check orvane-monitor orvane-gang; do
  "$command" --version
  "$command" --help >/dev/null
  man -w "$command" >/dev/null || { echo "FAIL: no manual page for $command"; exit 1; }
done
zk32-sim ctl help | grep -q "^  flash-read" || { echo "FAIL: zk32-sim ctl help"; exit 1; }
orvane 4710 ini

echo "=== the bash completions"
completions=$(pkg-config --variable=completionsdir bash-completion 2>/dev/null ||
  echo /usr/share/bash-completion/completions)
for command in orvane orvane-check orvane-monitor orvane-gang dnusb-list zk32-sim; do
  [ -f "$completions/$command" ] || { echo "FAIL: no completion for $command"; exit 1; }
done
# Loaded as the shell loads it at a Tab, it offers the chip names of the installed table.
chips=$(bash -c '. /usr/share/bash-completion/bash_completion
  __load_completion orvane && COMP_WORDS=(orvane 47) COMP_CWORD=1 && _orvane orvane 47 orvane &&
  echo "${COMPREPLY[*]}"')
[ "$chips" = "4710 4712 4715 4716" ] || { echo "FAIL: orvane completes 47 to '$chips'"; exit 1; }

echo "=== the simulator in one step, from the installed files"
# The installed chip table names the chip maker's writers; ORVANE_CONFIG_DIR points the
# installed program at the simulator's table, and the zk32-sim package ships the firmware.
export ZK32_SIM_DIR="$sim_dir"
zk32-sim start --mode usb --type 1
image=/usr/share/zk32-sim/firmware.bin
ORVANE_CONFIG_DIR=/usr/share/zk32-sim orvane 4710 wf 0 -i "$image" -u
ORVANE_CONFIG_DIR=/usr/share/zk32-sim orvane 4710 rf 0 -s "$(stat -c %s "$image")" -u \
  -o readback.bin
cmp "$image" readback.bin || { echo "FAIL: the read-back differs"; exit 1; }
ORVANE_CONFIG_DIR=/usr/share/zk32-sim orvane-check --verify 4710 wf 0 -i "$image" -u
ORVANE_CONFIG_DIR=/usr/share/zk32-sim orvane-gang -u -v 4710 "$image" zk32-0
ORVANE_CONFIG_DIR=/usr/share/zk32-sim orvane-monitor --reset 4710 -u --until "count 1" \
  --exit-after 20 >monitor.txt
grep -q "^Orvane sample firmware" monitor.txt || { echo "FAIL: orvane-monitor --reset"; exit 1; }
# Unset, the installed table holds: it names the chip maker's writer, not supplied here.
orvane 4710 rf 0 -s 16 -u | grep -q "open sram file err" ||
  { echo "FAIL: the installed table should name a writer the user supplies"; exit 1; }

echo "=== the library from the installed development package"
[ -z "$(pkg-config --cflags dnusb)" ] ||
  { echo "FAIL: pkg-config --cflags dnusb is not canonical: $(pkg-config --cflags dnusb)"; exit 1; }
# shellcheck disable=SC2046
cc -o by_pkg_config "$source_dir/examples/c/flash_page.c" $(pkg-config --cflags --libs dnusb)
./by_pkg_config
cmake -S "$source_dir/examples/c" -B by_cmake >/dev/null
cmake --build by_cmake >/dev/null
by_cmake/flash_page
python3 "$source_dir/examples/python/dnusb_info.py"

echo "=== remove the packages"
cd "$source_dir"
trap - EXIT
remove_packages
[ ! -e /usr/bin/orvane ] && [ ! -e /etc/orvane ] ||
  { echo "FAIL: the packages left files behind"; exit 1; }
echo "PASS: packages built, installed, used and removed"
