#!/usr/bin/env bash
# CI for the packages: builds the .deb packages (scripts/package.sh, lintian included),
# installs them on this machine, runs the installed tools - orvane help, dnusb-list and
# zk32-sim --version, a flash download and read-back on a simulated chip from the installed
# files, the library's C example built with pkg-config and with find_package - and removes
# the packages again.  Needs root (it installs packages); otherwise it says SKIP.
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
dnusb-list --version
zk32-sim --version
orvane 4710 ini

echo "=== a download on a simulated chip from the installed files"
# The installed chip table names the chip maker's writers; the simulator's own table and
# writers go in a private program folder with a copy of the installed program.
mkdir program
cp /usr/libexec/orvane/Orvane program/
cp -r /usr/share/zk32-sim/. program/
zk32-sim start --dir "$sim_dir" --mode usb --type 1
export ZK32_SIM_DIR="$sim_dir"
image="$source_dir/examples/firmware.bin"
program/Orvane 4710 wf 0 -i "$image" -u
program/Orvane 4710 rf 0 -s "$(stat -c %s "$image")" -u -o readback.bin
cmp "$image" readback.bin || { echo "FAIL: the read-back differs"; exit 1; }
# The installed table names the chip maker's writer, which the user has not supplied here.
orvane 4710 rf 0 -s 16 -u | grep -q "open sram file err" ||
  { echo "FAIL: the installed table should name a writer the user supplies"; exit 1; }

echo "=== the library from the installed development package"
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
