#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Orvane.exe under Wine against the device simulator: the Windows build reaches a simulated
# device over TCP loopback ($ZK32_SIM_TCP).  Each case runs the same command with the native
# program on the same simulator, and the two transcripts must agree (the Windows console ends
# lines with CR LF; elapsed times are set aside); the simulator's memory is checked as well.
#   tests/windows/wine_simulator.sh WIN_BIN NATIVE_BIN
# NATIVE_BIN holds the native Orvane (with config.ini and writer/) and zk32-sim.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BIN=$(cd "$1" && pwd)
NATIVE_BIN=$(cd "$2" && pwd)
# shellcheck source=wine_lib.sh
. "$here/wine_lib.sh"
SIM="$NATIVE_BIN/zk32-sim"
# Each run is pointed at its simulator explicitly.
unset ZK32_SIM_TCP ZK32_SIM_DIR

install=$(make_install simulator)

# Starts a simulator with its own rendezvous directory and a free loopback port.
#   start_sim NAME OPTION...   -> sets sim_dir and sim_port
start_sim() {
  local name=$1 attempt
  shift
  sim_dir="$scratch/sim-$name"
  mkdir -p "$sim_dir"
  for attempt in 1 2 3 4 5; do
    sim_port=$((20000 + RANDOM % 40000))
    if "$SIM" start --dir "$sim_dir" --timing zero --tcp "$sim_port" "$@" 2>"$sim_dir/start.err"; then
      cleanup_hooks+=("'$SIM' stop --dir '$sim_dir' >/dev/null 2>&1")
      return 0
    fi
  done
  echo "cannot start the simulator: $(cat "$sim_dir/start.err")" >&2
  return 1
}

ctl() { "$SIM" ctl --dir "$sim_dir" "$@"; }

# Runs one command natively and under Wine on the current simulator and compares the
# transcripts.  Arguments naming files are given twice, as NATIVE|WINDOWS.
#   both_ways CASE_NAME ARG...
both_ways() {
  local name=$1 arg
  shift
  local native_args=() windows_args=()
  for arg in "$@"; do
    if [[ $arg == *"|"* ]]; then
      native_args+=("${arg%%|*}")
      windows_args+=("${arg#*|}")
    else
      native_args+=("$arg")
      windows_args+=("$arg")
    fi
  done
  local native_out="$scratch/native.$((passed + failed))"
  set +e
  ZK32_SIM_DIR="$sim_dir" timeout "$WINE_TIMEOUT" "$NATIVE_BIN/Orvane" "${native_args[@]}" \
    >"$native_out"
  local native_rc=$?
  set -e
  ZK32_SIM_TCP=$sim_port run_orvane "$install" "${windows_args[@]}"
  local times='s/Total Time: [0-9]+ ms/Total Time: N ms/'
  sed -E "$times" "$native_out" >"$scratch/want.native"
  sed -E "$times" "$run_out" >"$run_out.normal"
  run_out="$run_out.normal"
  if [ "$native_rc" -ne 0 ] || [ ! -s "$native_out" ]; then
    fail "$name" "the native run gave exit code $native_rc and $(wc -c <"$native_out") bytes"
    return
  fi
  expect_console "$name" "$native_rc" "$scratch/want.native"
}

# Succeeds when the simulator's reply equals the expected hex.
expect_hex() {
  local name=$1 got=$2 want=$3
  if [ "$got" = "$want" ]; then
    pass "$name"
  else
    fail "$name" "simulator has ${got:0:64}..." "expected    ${want:0:64}..."
  fi
}

# Expects the last Windows run to have lasted at least MIN milliseconds.
#   expect_waited NAME MIN
expect_waited() {
  if [ "$run_ms" -ge "$2" ]; then
    pass "$1"
  else
    fail "$1" "the run took $run_ms ms"
  fi
}

image="$scratch/image.bin"
head -c 5000 /dev/urandom >"$image"
image_hex=$(od -An -v -tx1 "$image" | tr -d ' \n')

# --- A chip on USB (type 1, short layout): download, read back, stop with the PC ------------
start_sim usb1 --mode usb --type 1
both_ways "download into flash over USB" 4710 wf 0 -i "$image|$(win_path "$image")" -u
if grep -q $'^ File Download to 0x000000: 5000 bytes \t\r$' "$run_out"; then
  pass "download reports 5000 bytes"
else
  fail "download reports 5000 bytes" "$(head -c 400 "$run_out")"
fi
expect_hex "flash holds the image after the Windows download" "$(ctl flash-read 0 1388)" \
  "$image_hex"

read_native="$scratch/read-native.bin" read_windows="$scratch/read-windows.bin"
both_ways "read flash back into a file" 4710 rf 0 -s 5000 -u \
  -o "$read_native|$(win_path "$read_windows")"
if cmp -s "$image" "$read_windows"; then
  pass "the file read back under Windows equals the image"
else
  fail "the file read back under Windows equals the image" \
    "$(wc -c <"$read_windows" 2>/dev/null || echo no file) bytes"
fi

ctl pc-set 1234 >/dev/null
both_ways "stop shows the program counter" 4710 stop -u
if grep -q $'PC is : 0x001234' "$run_out"; then
  pass "stop reads the PC the simulator holds"
else
  fail "stop reads the PC the simulator holds" "$(cat "$run_out")"
fi

# A large read without -o goes to user\Read.bin beside the program (GetModuleFileNameA).
sram_hex=$(head -c 2048 /dev/urandom | od -An -v -tx1 | tr -d ' \n')
ctl mem-write target 8000 "$sram_hex" >/dev/null
mkdir -p "$install/user"
ZK32_SIM_TCP=$sim_port run_orvane "$install" 4710 rc 8000 -s 2k -u
saved=$(od -An -v -tx1 "$install/user/Read.bin" 2>/dev/null | tr -d ' \n')
if grep -q $'^ All 2048 bytes have been saved! \t\r$' "$run_out" && [ "$saved" = "$sram_hex" ]; then
  pass "a large read is saved to user\\Read.bin beside the program"
else
  fail "a large read is saved to user\\Read.bin beside the program" "$(head -c 300 "$run_out")"
fi

# --- A chip of the long-address family on USB (type 3: GetPrintDeviceHandle2, ReadMem2) -----
start_sim usb3 --mode usb --type 3
ctl mem-write target 40010 0123456789abcdeffedcba9876543210 >/dev/null
both_ways "read SRAM in the long-address layout" 4715 rc 40010 -s 16 -u
both_ways "write a register byte in the long-address layout" 4715 wc 700 5a -s 1 -u
expect_hex "the register byte arrived" "$(ctl mem-read target 700 1)" 5a

# --- An EVK probe with the chip behind it on Vlane (the mailbox and its 1000 ms wait) ------
start_sim evk1 --mode evk --type 1
ctl mem-write target 8100 a1b2c3d4e5f60718 >/dev/null
both_ways "read SRAM through the EVK probe" 4710 rc 8100 -s 8
sram="$scratch/sram.bin"
printf '\x11\x22\x33\x44\x55\x66\x77\x88\x99' >"$sram"
both_ways "download into SRAM through the EVK probe" 4710 wc 8200 0 -i "$sram|$(win_path "$sram")"
expect_hex "SRAM holds the downloaded bytes" "$(ctl mem-read target 8200 9)" 112233445566778899

# --- Time-outs: the program's clock (timeGetTime) and the library's (GetTickCount) ----------
# A wait that ends at once, or never, shows here: the transcripts must agree and the run must
# take the waiting time.
start_sim stuck --mode usb --type 1
ctl fault writer-stuck >/dev/null
both_ways "a flash writer that never acknowledges times out" 4710 wf 0 -e 1 -u
expect_waited "the acknowledgement is awaited for 2000 ms" 2000

start_sim silent --mode evk --type 1
ctl fault probe-silent >/dev/null
both_ways "an EVK probe that never completes times out" 4710 rc 8000 -s 4
expect_waited "the completion word is awaited for 1000 ms" 1000

# --- The USB trace of the Windows port (DNUSB_TRACE) ----------------------------------------
# The capture must read back as what the simulator received: the same decoded trace, a
# replay without difference, and (with tshark) USB packets carrying the same setup packets.
#   check_capture NAME CAPTURE REPLAY_OPTION...
check_capture() {
  local name=$1 capture=$2
  shift 2
  if [ ! -s "$capture" ]; then
    fail "$name: a capture is written" "no file $capture"
    return
  fi
  ctl trace | grep -E '^[rw] ' >"$scratch/seen.txt" || true
  if "$SIM" decode "$capture" >"$scratch/decoded.txt" 2>&1 &&
    cmp -s "$scratch/seen.txt" "$scratch/decoded.txt"; then
    pass "$name: decodes as the simulator's trace"
  else
    fail "$name: decodes as the simulator's trace" "$(diff "$scratch/seen.txt" \
      "$scratch/decoded.txt" | head -5)"
  fi
  if "$SIM" replay "$capture" "$@" >"$scratch/replay.txt" 2>&1; then
    pass "$name: replays without difference"
  else
    fail "$name: replays without difference" "$(head -5 "$scratch/replay.txt")"
  fi
  if ! command -v tshark >/dev/null; then
    echo "SKIP: $name: tshark is not installed (scripts/setup-deps.sh installs it)"
    return
  fi
  ctl trace-raw | cut -c1-20 >"$scratch/received.txt"
  tshark -r "$capture" -T fields -E separator=, -e frame.protocols -e usb.urb_type \
    -e usb.bmRequestType -e usb.setup.bRequest -e usb.setup.wValue -e usb.setup.wIndex \
    -e usb.setup.wLength 2>/dev/null >"$scratch/tshark.txt" || true
  local not_usb
  not_usb=$(grep -cv '^usb,' "$scratch/tshark.txt" || true)
  # tshark shows bmRequestType and wValue in hex ("0xc1"), the others in decimal.
  awk -F, '$2 ~ /S/ { sub(/^0x/, "", $3); sub(/^0x/, "", $5);
    printf "%s %02x %s %04x %04x\n", $3, $4, $5, $6, $7 }' "$scratch/tshark.txt" >"$scratch/setups.txt"
  if [ -s "$scratch/tshark.txt" ] && [ "$not_usb" -eq 0 ] &&
    cmp -s "$scratch/received.txt" "$scratch/setups.txt"; then
    pass "$name: tshark decodes every packet as USB with the setup the device saw"
  else
    fail "$name: tshark decodes every packet as USB with the setup the device saw" \
      "$not_usb packets not USB" "$(diff "$scratch/received.txt" "$scratch/setups.txt" | head -5)"
  fi
}

start_sim traced --mode usb --type 1
capture="$scratch/windows.pcap"
DNUSB_TRACE=$(win_path "$capture") ZK32_SIM_TCP=$sim_port run_orvane "$install" \
  4710 wf 0 -i "$(win_path "$image")" -u
DNUSB_TRACE=$(win_path "$capture") ZK32_SIM_TCP=$sim_port run_orvane "$install" \
  4710 stop -u
check_capture "Windows USB trace" "$capture" --mode usb --type 1

# --- Two boards on TCP: DNUSB_DEVICE picks one, by its location or by its serial -----------
start_sim board-a --mode usb --type 1 --serial WIN-A
ctl mem-write target 8000 aa >/dev/null
port_a=$sim_port
start_sim board-b --mode usb --type 1 --serial WIN-B
ctl mem-write target 8000 bb >/dev/null
for pick in "tcp:$port_a aa" "win-b bb"; do
  DNUSB_DEVICE=${pick% *} ZK32_SIM_TCP=$port_a,$sim_port run_orvane "$install" 4710 rc 8000 -s 1 -u
  if grep -Eq ":[[:space:]]+${pick#* }[[:space:]]" "$run_out"; then
    pass "DNUSB_DEVICE=${pick% *} reads its own board"
  else
    fail "DNUSB_DEVICE=${pick% *} reads its own board" "$(cat "$run_out")"
  fi
done

# --- orvane-monitor.exe: the data-in stream, bytes unchanged (no CR added) -----------------
if [ -f "$WIN_BIN/orvane-monitor.exe" ]; then
  cp "$WIN_BIN/orvane-monitor.exe" "$install/"
  start_sim monitor --mode usb --type 1
  ctl uart-send 6c696e6520310a6c696e6520320a454e44 >/dev/null
  set +e
  ZK32_SIM_TCP=$sim_port timeout "$WINE_TIMEOUT" wine "$install/orvane-monitor.exe" \
    --until END --exit-after 20 >"$scratch/monitor.out" 2>"$scratch/monitor.err"
  monitor_rc=$?
  set -e
  # The text ends inside a line: the monitor ends its output with a line feed of its own.
  if [ "$monitor_rc" -eq 0 ] && [ "$(od -An -tx1 "$scratch/monitor.out" | tr -d ' \n')" = \
    6c696e6520310a6c696e6520320a454e440a ]; then
    pass "orvane-monitor.exe shows the UART bytes up to the until text"
  else
    fail "orvane-monitor.exe shows the UART bytes up to the until text" "exit code $monitor_rc" \
      "$(od -c "$scratch/monitor.out" | head -3)" "$(head -c 200 "$scratch/monitor.err")"
  fi
fi

finish
