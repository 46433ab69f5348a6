#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Soak: seeded random operations against one simulated device (usb, then evk) while faults
# are switched on and off; every fault-free write and read is checked against a model of the
# device.  Ends with one summary line per mode (operations per second included).
#   scripts/soak.sh                                   200 operations, seed 1 (what CI runs)
#   ORVANE_SOAK_OPS=20000 ORVANE_SOAK_SEED=$RANDOM scripts/soak.sh   a long one
set -euo pipefail
cd "$(dirname "$0")/.."
ops=${ORVANE_SOAK_OPS:-200}
seed=${ORVANE_SOAK_SEED:-1}
[ -f build/release/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target soak Orvane zk32-sim orvane_runtime_files >/dev/null
status=0
for mode in usb evk; do
  build/release/bin/soak --mode "$mode" --ops $((ops / 2)) --seed "$seed" || status=1
done
exit $status
