#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# orvane-gang from the built program folder, with the orvane beside it: two simulated boards
# programmed and verified, each with its own result line; a board named twice is refused
# before any board is touched.
#   gang_test.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$1
source=$2
work=$(mktemp -d)
trap '"$bin/zk32-sim" stop --dir "$work/sim" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export ZK32_SIM_DIR="$work/sim"
unset ORVANE DNUSB_DEVICE ORVANE_CONFIG_DIR
for n in 1 2; do
  "$bin/zk32-sim" start --dir "$ZK32_SIM_DIR" --name "board-$n" --serial "SIM-$n" >/dev/null
done
image="$source/examples/firmware.bin"
size=$(stat -c %s "$image")

set +e
"$bin/orvane-gang" -u 4710 "$image" board-1 board-2 board-1 >"$work/twice.out" 2>"$work/twice.err"
status=$?
set -e
[ $status = 2 ] || fail "a board named twice: exit $status"
grep -q "board board-1 named twice" "$work/twice.err" || fail "no reason given: $(cat "$work/twice.err")"
[ "$("$bin/zk32-sim" ctl --dir "$ZK32_SIM_DIR" --name board-1 flash-read 0 4)" = ffffffff ] ||
  fail "a refused run touched a board"

"$bin/orvane-gang" -u -v 4710 "$image" board-2 SIM-1 >"$work/gang.out" ||
  { cat "$work/gang.out"; fail "two boards"; }
grep -q "^board-2: ok in .* s: $size bytes, verified$" "$work/gang.out" || fail "$(cat "$work/gang.out")"
grep -q "^SIM-1: ok in .* s: $size bytes, verified$" "$work/gang.out" || fail "$(cat "$work/gang.out")"
grep -q "^2 of 2 boards programmed" "$work/gang.out" || fail "$(cat "$work/gang.out")"
echo "PASS: two boards programmed and verified; a board named twice refused"
