#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what building and testing need, through the system package manager when run as
# root on Debian/Ubuntu; otherwise says exactly what to install.
#   scripts/setup-deps.sh            build + tests
#   scripts/setup-deps.sh --run-only build only
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libusb-1.0-0-dev)
if [ "${1:-}" != "--run-only" ]; then
  packages+=(libgtest-dev libgmock-dev umockdev libumockdev-dev python3 mandoc tshark)
  # The packages: building, checking and installing them.
  packages+=(dpkg-dev fakeroot file lintian gzip zip)
  # fuzz targets (libFuzzer), memcheck, the coverage report
  packages+=(clang-14 libclang-rt-14-dev valgrind gcovr)
  # the real kernel's USB stack under QEMU, the usbredir device port, shell completion,
  # the debug session's line editing
  packages+=(qemu-system-x86 linux-image-amd64 busybox-static libusbredirparser-dev
             bash-completion libedit-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "Please install: ${missing[*]} (or your system's equivalents)" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
