#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# orvane-check.exe under Wine: it runs Orvane.exe beside it with CreateProcess, relays its
# lines and exits with the status that says what happened; --verify reads a download back
# from the device simulator (over TCP loopback, $ZK32_SIM_TCP) and --json is read by
# Python's json module.
#   tests/windows/wine_check.sh WIN_BIN NATIVE_BIN
# NATIVE_BIN holds zk32-sim.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BIN=$(cd "$1" && pwd)
NATIVE_BIN=$(cd "$2" && pwd)
# shellcheck source=wine_lib.sh
. "$here/wine_lib.sh"
SIM="$NATIVE_BIN/zk32-sim"
unset ZK32_SIM_TCP ZK32_SIM_DIR

if [ ! -f "$WIN_BIN/orvane-check.exe" ]; then
  fail "orvane-check.exe is built" "not in $WIN_BIN"
  finish
  exit 1
fi
install=$(make_install check)
cp "$WIN_BIN/orvane-check.exe" "$install/"

# Runs orvane-check.exe of an install under Wine: output in $run_out, status in $run_rc.
run_check() {
  local dir=$1
  shift
  run_out="$scratch/check.$((passed + failed))"
  set +e
  timeout "$WINE_TIMEOUT" wine "$dir/orvane-check.exe" "$@" >"$run_out" 2>"$run_out.err"
  run_rc=$?
  set -e
}

# expect_status NAME STATUS TEXT: the exit status, and TEXT somewhere in standard output.
expect_status() {
  if [ "$run_rc" -ne "$2" ]; then
    fail "$1" "exit status $run_rc, expected $2" "$(head -c 400 "$run_out")" \
      "$(head -c 200 "$run_out.err")"
  elif [ -n "$3" ] && ! grep -qF -- "$3" "$run_out"; then
    fail "$1" "no '$3' in:" "$(head -c 400 "$run_out")"
  else
    pass "$1"
  fi
}

# --- Without a device ------------------------------------------------------------------------
run_check "$install" 4710 rst -u
expect_status "no device: status 1, the line relayed with CR LF" 1 $' [42]: no usb device!\r'

run_check "$install" 4710 wf
expect_status "refused line: status 2" 2 ' [9]: wf cmd err!'

run_check "$install" --orvane 'Z:\nonexistent\Orvane.exe' 4710 rst -u
expect_status "Orvane not found: status 4" 4 ''

lonely=$(make_install no-library)
cp "$WIN_BIN/orvane-check.exe" "$lonely/"
rm -f "$lonely/dnusb.dll"
run_check "$lonely" 4710 rst -u
expect_status "Orvane.exe that cannot start (no dnusb.dll): status 4" 4 ''

# --- Against the simulator -------------------------------------------------------------------
sim_dir="$scratch/sim"
mkdir -p "$sim_dir"
for attempt in 1 2 3 4 5; do
  sim_port=$((20000 + RANDOM % 40000))
  if "$SIM" start --dir "$sim_dir" --mode usb --type 1 --tcp "$sim_port" 2>"$sim_dir/start.err"; then
    cleanup_hooks+=("'$SIM' stop --dir '$sim_dir' >/dev/null 2>&1")
    break
  fi
done
export ZK32_SIM_TCP=$sim_port
image="$scratch/image.bin"
head -c 5000 /dev/urandom >"$image"

run_check "$install" --verify 4710 wf 0 -i "$(win_path "$image")" -u
expect_status "download and verify: status 0" 0 'orvane-check: verify: 5000 bytes identical'

"$SIM" ctl --dir "$sim_dir" fault program-corrupt 123 >/dev/null
run_check "$install" --verify 4710 wf 0 -i "$(win_path "$image")" -u
expect_status "verify finds the corrupted byte: status 3" 3 'differ, the first at 0x000123'

run_check "$install" --json --verify 4710 wf 0 -i "$(win_path "$image")" -u
if python3 - "$run_out" <<'PY'
import json, sys
objects = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
end = objects[-1]
assert end['outcome'] == 'verify-difference' and end['exit_status'] == 3, end
assert end['verify']['first_difference'] == 0x123, end
assert any(o.get('step') == 'verify' for o in objects[:-1])
assert not any(o.get('text', '').endswith('\r') for o in objects[:-1])
PY
then
  pass "--json parses, and closes with the verify difference"
else
  fail "--json parses, and closes with the verify difference" "$(head -c 400 "$run_out")"
fi

finish
