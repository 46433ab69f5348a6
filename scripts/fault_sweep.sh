#!/usr/bin/env bash
# Fault sweep: every command that reads or writes the device, in usb and evk mode, with the
# Nth control transfer stalled for N = 1..60, each result compared with what the simulated
# device holds (or with what a read printed).  Ends with one summary line; exit 1 on a false
# success, a crash or a hang.
#   scripts/fault_sweep.sh [--max N] [--mode usb|evk]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/release/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target fault_sweep Orvane zk32-sim orvane_runtime_files >/dev/null
build/release/bin/fault_sweep "$@"
