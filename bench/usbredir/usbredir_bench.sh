#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# What a real USB stack costs: vendor requests per second (one-byte reads through the
# library) and a 64 KB download with Orvane, first on the simulator's own socket, then in
# the same run through a QEMU guest's kernel (xHCI, usbcore, usbfs, libusb) to the same
# simulator served with --usbredir.  Prints both and their ratio.  The guest runs under TCG:
# its figures include the emulated CPU, as a board behind a real controller would not.
#   bench/usbredir/usbredir_bench.sh [BIN_DIR]     (default build/release/bin)
set -uo pipefail
cd "$(dirname "$0")/../.."
BIN=$(cd "${1:-build/release/bin}" && pwd) || exit 1
[ -x "$BIN/usbredir_request_rate" ] || { echo "build the usbredir_request_rate target first"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# 1. The simulator's socket.
"$BIN/zk32-sim" start --dir "$dir" --name ZK-A --mode usb --type 1 --timing zero || exit 1
image=$dir/image.bin
head -c 65536 /dev/urandom >"$image"
socket_rate=$(ZK32_SIM_DIR=$dir DNUSB_DEVICE=ZK-A "$BIN/usbredir_request_rate" 5 | awk '{print $2}')
socket_ms=$(ZK32_SIM_DIR=$dir DNUSB_DEVICE=ZK-A "$BIN/Orvane" 4710 wf 0 -i "$image" -u |
  sed -n 's/.*Total Time: \([0-9]*\) ms.*/\1/p')
"$BIN/zk32-sim" stop --dir "$dir"

# 2. The guest kernel (the rig boots it; its guest script measures in bench mode).
out=$(ZK32_RIG_MODE=bench scripts/kernel-test.sh "$BIN")
status=$?
[ $status -eq 77 ] && { echo "$out"; exit 0; }
guest_rate=$(echo "$out" | sed -n 's/^BENCH: requests\/s \([0-9]*\).*/\1/p')
guest_ms=$(echo "$out" | sed -n 's/^BENCH: download Total Time: \([0-9]*\) ms.*/\1/p')
if [ -z "$guest_rate" ] || [ -z "$guest_ms" ] || [ -z "$socket_rate" ] || [ -z "$socket_ms" ]; then
  echo "usbredir bench: a measurement is missing"; echo "$out"; exit 1
fi
awk -v sr="$socket_rate" -v gr="$guest_rate" -v sm="$socket_ms" -v gm="$guest_ms" 'BEGIN {
  printf "requests/s:       socket %7d   guest kernel %7d   ratio %.3f\n", sr, gr, gr / sr
  printf "64 KB download:   socket %5d ms   guest kernel %5d ms   ratio %.2f (time)\n", sm, gm, gm / sm
}'
