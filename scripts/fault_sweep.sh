#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fault sweep: every command that reads or writes the device, in usb and evk mode, with each
# of its control transfers stalled in turn (up to the Nth with --max N), each result compared
# with what the simulated device holds (or with what a read printed), and each stalled run
# made again through orvane-check.  Ends with one summary line; exit 1 on a false success
# (of Orvane or of orvane-check), a failure without a message, a crash or a hang.
#   scripts/fault_sweep.sh [--max N] [--mode usb|evk]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/release/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target fault_sweep Orvane orvane-check zk32-sim orvane_runtime_files >/dev/null
build/release/bin/fault_sweep "$@"
