#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The main job, end to end on a simulated chip: set up, build, start the device simulator,
# download the sample firmware into the chip's flash, read the flash back and compare.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target Orvane zk32-sim orvane_runtime_files

bin=build/release/bin
image=examples/firmware.bin
work=$(mktemp -d)
export ZK32_SIM_DIR="$work/sim"
mkdir -p "$ZK32_SIM_DIR"
trap '"$bin/zk32-sim" stop --dir "$ZK32_SIM_DIR" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# A ZK32 chip of MCU type 1 ("4710" in config.ini) attached directly over USB.
"$bin/zk32-sim" start --dir "$ZK32_SIM_DIR" --mode usb --type 1 --timing real

size=$(stat -c %s "$image")
echo "--- Orvane 4710 wf 0 -i $image -u"
"$bin/Orvane" 4710 wf 0 -i "$image" -u
echo
echo "--- Orvane 4710 rf 0 -s $size -u -o readback.bin"
"$bin/Orvane" 4710 rf 0 -s "$size" -u -o "$work/readback.bin"
echo
if cmp -s "$image" "$work/readback.bin"; then
  echo "Read-back matches $image: $size bytes identical."
else
  echo "Read-back differs from $image!" >&2
  exit 1
fi
