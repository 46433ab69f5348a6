#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# valgrind memcheck over a handful of commands against the simulated device: a download, reads
# to the console and to a file, analog access, run control, the listing lookup, a refused
# line and a numeric command.  Every run must report 0 errors.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/release/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target Orvane zk32-sim orvane_runtime_files >/dev/null

bin=build/release/bin
work=$(mktemp -d)
export ZK32_SIM_DIR=$work/sim
cleanup() { "$bin/zk32-sim" stop --dir "$ZK32_SIM_DIR" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
"$bin/zk32-sim" start --dir "$ZK32_SIM_DIR" --mode usb --type 1 --timing zero

commands=(
  "4710 wf 0 -i examples/firmware.bin -u"
  "4710 rf 0 -s 64 -u"
  "4710 rf 0 -s 4k -u -o $work/flash.bin"
  "4710 wc 8100 1234 -s 2 -u"
  "4710 rc 8100 -s 16 -u"
  "4710 wa 40 5a -s 1 -u"
  "4710 ra 40 -s 4 -u"
  "4710 rst -u"
  "4710 stop -u"
  "4710 pc -i examples/firmware.lst -u"
  "4710 wf 0 -s x -u"
  "5 1 0 1 1 20"
)
errors=0
for command in "${commands[@]}"; do
  # shellcheck disable=SC2086
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    --log-file="$work/valgrind.log" "$bin/Orvane" $command >/dev/null || true
  count=$(grep -oE 'ERROR SUMMARY: [0-9]+' "$work/valgrind.log" | grep -oE '[0-9]+$' || echo 1)
  if [ "$count" != 0 ]; then
    echo "valgrind: $count errors in: Orvane $command"
    grep -E '^==[0-9]+== ' "$work/valgrind.log" | head -30
  fi
  errors=$((errors + count))
done
echo "valgrind memcheck: ${#commands[@]} commands, $errors errors"
[ "$errors" -eq 0 ]
