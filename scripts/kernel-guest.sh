#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The guest half of scripts/kernel-test.sh: runs as root inside the QEMU guest, on the host's
# root file system (read-only), against the two simulated devices on the guest's xHCI
# controller: A (serial ZK-A) a chip on USB, B (serial ZK-B) an EVK probe.  Prints
# "PASS: what" or "FAIL: what: why" per check on the console.
#   kernel-guest.sh BIN_DIR SHARE_DIR UDEV_RULE_FILE [checks|bench]
BIN=$1 SHARE=$2 RULES=$3 MODE=${4:-checks}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
EX=$ROOT/examples
export PATH=$BIN:/usr/sbin:/usr/bin:/sbin:/bin
export ZK32_SIM_DIR=/tmp/no-simulators  # only what the guest kernel shows
# The devices on this bus carry the simulator's model: its flash writers are theirs.
export DNUSB_SIMULATED_USB=1
mkdir -m 700 -p "$ZK32_SIM_DIR"
T=/tmp/rig
mkdir -p "$T"
cd "$T" || exit 1

pass() { echo "PASS: $1 (at ${SECONDS} s)"; }
fail() { echo "FAIL: $1: $2 (at ${SECONDS} s)"; }

# Asks the host (kernel-test.sh) to act: "ctl NAME WORDS..." or "monitor COMMAND".
n=0
host() {
  n=$((n + 1))
  echo "$*" >"$SHARE/req.tmp" && mv "$SHARE/req.tmp" "$SHARE/req.$n"
  local end=$((SECONDS + 20))
  while [ $SECONDS -lt $end ]; do
    [ -f "$SHARE/ack.$n" ] && { cat "$SHARE/ack.$n"; return 0; }
    sleep 0.05
  done
  return 1
}

# The sysfs name of the device with the given serial ("" when absent).
device_of() {
  local d
  for d in /sys/bus/usb/devices/*; do
    [ "$(cat "$d/serial" 2>/dev/null)" = "$1" ] && { basename "$d"; return; }
  done
}
driver_of() { basename "$(readlink "/sys/bus/usb/devices/$1:1.0/driver" 2>/dev/null)"; }
node_of() {
  printf /dev/bus/usb/%03d/%03d "$(cat /sys/bus/usb/devices/$1/busnum)" \
    "$(cat /sys/bus/usb/devices/$1/devnum)"
}
# Waits up to $2 seconds for the device with serial $1 to be bound to usblp.
wait_usblp() {
  local d end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    d=$(device_of "$1")
    [ -n "$d" ] && [ "$(driver_of "$d")" = usblp ] && return 0
    sleep 0.1
  done
  return 1
}
orvane() { timeout 60 Orvane 4710 "$@"; }

# --- Set-up: udevd with the project's group rule, the USB modules, both devices on usblp.
mkdir -p /run/udev/rules.d
grep '^#SUBSYSTEM==.*GROUP=' "$RULES" | sed 's/^#//' >/run/udev/rules.d/61-zk32-group.rules
udev=no
if /lib/systemd/systemd-udevd --daemon 2>/dev/null; then udev=yes; fi
modprobe usbmon
modprobe usblp
modprobe xhci_pci
[ $udev = yes ] && udevadm trigger --action=add >/dev/null 2>&1
wait_usblp ZK-A 30 && wait_usblp ZK-B 10
[ $udev = yes ] && udevadm settle -t 20
A=$(device_of ZK-A) B=$(device_of ZK-B)
echo "guest: ready (A $A, B $B, udevd $udev) at $SECONDS s"

power_off() {
  echo "guest: all checks ran"
  cp -r "$T" "$SHARE/guest" 2>/dev/null
  sync
  echo o >/proc/sysrq-trigger  # power off: this script is the guest's first process
  while :; do sleep 1; done 2>/dev/null
}

# bench/usbredir: the same measurements as on the simulator's socket, through this kernel.
if [ "$MODE" = bench ]; then
  export DNUSB_DEVICE=ZK-A
  echo "BENCH: $(usbredir_request_rate 5)"
  echo "BENCH: download $(orvane wf 0 -i "$SHARE/image.bin" -u | grep -o "Total Time: [0-9]* ms")"
  power_off
fi

# --- 1. The lister: both devices, with serial and selector.
list=$(dnusb-list 2>&1)
if echo "$list" | grep -q "selector $A, serial ZK-A" && echo "$list" | grep -q "selector $B, serial ZK-B"; then
  pass "dnusb-list shows both devices with selector and serial"
else
  fail "dnusb-list" "$(echo "$list" | tr '\n' '|')"
fi

# --- 2. The main job, on each device chosen by DNUSB_DEVICE, usblp bound before.
main_job() {  # serial, sysfs name, "-u" or ""
  local s=$1 dev=$2 u=$3 why= out
  export DNUSB_DEVICE=$s
  [ "$(driver_of "$dev")" = usblp ] || why="usblp not bound before; "
  out=$(orvane wf 0 -i "$SHARE/image.bin" $u)
  echo "$out" | grep -q "File Download to 0x000000: 65536 bytes" || why+="download: $(echo "$out" | tail -1); "
  # All 64 KB compared in the simulator; the first 4 KB read back through the guest too.
  [ "$(host ctl "$4" flash-read 0 10000 | tr -d ' \n')" = "$(od -An -v -tx1 "$SHARE/image.bin" | tr -d ' \n')" ] ||
    why+="flash differs; "
  orvane rf 0 -s 4k $u -o "$T/back.bin" >/dev/null
  head -c 4096 "$SHARE/image.bin" | cmp -s - "$T/back.bin" || why+="read-back differs; "
  orvane stop $u >/dev/null
  orvane wc 8000 41b2c3d4 -s 4 $u >/dev/null
  orvane rc 8000 -s 4 $u | grep -q "008000:  d4 c3 b2 41" || why+="SRAM; "
  orvane wf 0 -i "$EX/firmware.bin" $u >/dev/null
  out=$(orvane rst $u; orvane run $u; orvane stop $u; orvane step $u; orvane pc -i "$EX/firmware.lst" $u)
  for line in " Reset MCU" " MCU Run" " Stop MCU, PC is : 0x" " Step MCU, PC is : 0x" "^0.*<.*>:"; do
    echo "$out" | grep -q "$line" || why+="no '$line'; "
  done
  # Handles live until the process ends, so the interface is never released: the kernel
  # leaves it without a driver (see README, "Trying the real USB stack").
  [ -z "$(driver_of "$dev")" ] || why+="driver after: $(driver_of "$dev"); "
  unset DNUSB_DEVICE
  if [ -z "$why" ]; then pass "$5: download, read-back, SRAM, rst/run/stop/step/pc"; else fail "$5" "$why"; fi
}
main_job ZK-A "$A" -u zkA "chip on USB (ZK-A)"
main_job ZK-B "$B" "" zkB "EVK probe (ZK-B)"

# --- 3. The kernel's own record (usbmon) of a session agrees with DNUSB_TRACE, request by
# request: setup packet, data and outcome of every vendor control transfer.
dd if=/dev/usbmon0 of="$T/usbmon.bin" bs=1M 2>/dev/null &
mon=$!
until ls -l /proc/$mon/fd 2>/dev/null | grep -q usbmon; do sleep 0.1; done
(export DNUSB_DEVICE=ZK-A DNUSB_TRACE=$T/trace.pcap
 orvane stop -u; orvane wc 8100 41b2c3d4 -s 4 -u; orvane rc 8100 -s 16 -u) >/dev/null
sleep 0.5
kill $mon; wait $mon 2>/dev/null
why=$(python3 - "$T/usbmon.bin" "$T/trace.pcap" "$(cat /sys/bus/usb/devices/$A/devnum)" <<'PY'
import struct, sys
def pairs(events):
    """Vendor control transfers: [setup, OUT data, IN data, outcome] in submission order
    (the kernel reuses an URB's id once it completed)."""
    pending, done = {}, []
    for uid, kind, setup, status, data in events:
        if kind == 'S' and setup and setup[0] & 0x60 == 0x40:
            pending[uid] = [setup.hex(), '' if setup[0] & 0x80 else data.hex()]
            done.append(pending[uid])
        elif kind == 'C' and uid in pending:
            s = pending.pop(uid)
            s += [data.hex() if int(s[0][:2], 16) & 0x80 else '', 'ok' if status == 0 else 'failed']
    return [tuple(s) for s in done]
def usbmon(path, devnum):
    raw, at, out = open(path, 'rb').read(), 0, []
    while at + 48 <= len(raw):
        uid, kind, xt, ep, dev, bus, fs, fd, sec, usec, st, length, cap, setup = \
            struct.unpack_from('<QBBBBHbbqiiII8s', raw, at)
        data = raw[at + 48: at + 48 + cap]
        at += 48 + cap
        if dev == devnum and xt == 2 and ep & 0x7f == 0:
            out.append((uid, chr(kind), setup if fs == 0 else b'', st, data))
    return out
def trace(path):
    raw, at, out = open(path, 'rb').read(), 24, []
    while at + 16 <= len(raw):
        incl, = struct.unpack_from('<I', raw, at + 8)
        rec = raw[at + 16: at + 16 + incl]
        at += 16 + incl
        uid, kind, xt, ep, dev, bus, fs, fd, sec, usec, st, length, cap, setup = \
            struct.unpack_from('<QBBBBHbbqiiII8s', rec, 0)
        if xt == 2:
            out.append((uid, chr(kind), setup if fs == 0 else b'', st, rec[64: 64 + cap]))
    return out
kernel, ours = pairs(usbmon(sys.argv[1], int(sys.argv[3]))), pairs(trace(sys.argv[2]))
if not ours or len(kernel) != len(ours):
    print(f"{len(kernel)} transfers on the bus, {len(ours)} in the trace")
for i, (k, o) in enumerate(zip(kernel, ours)):
    if k != o:
        print(f"transfer {i + 1}: bus {k}, trace {o}")
        break
else:
    print(f"ok {len(ours)}")
PY
)
if [[ $why == ok* ]]; then pass "usbmon agrees with DNUSB_TRACE on all ${why#ok } vendor requests"; else fail "usbmon against DNUSB_TRACE" "$why"; fi

# --- 4. A request stalled mid-download ends with the line the simulator's socket gives.
host ctl zkA trace-clear >/dev/null
host ctl zkA fault $(cat "$SHARE/stall.fault") >"$T/stall.ack"
DNUSB_DEVICE=ZK-A orvane wf 0 -i "$SHARE/image.bin" -u | grep -v "Total Time" >"$T/stall.out"
host ctl zkA trace > "$T/stall.trace"
if cmp -s "$T/stall.out" "$SHARE/stall.expected" && grep -q '^ \[[0-9]*\]' "$T/stall.out"; then
  pass "a stall mid-download: $(grep '^ \[' "$T/stall.out" | head -1)"
else
  fail "stall mid-download" "$(diff "$SHARE/stall.expected" "$T/stall.out" | head -4 | tr '\n' '|')"
fi
host ctl zkA fault-clear >/dev/null

# --- 5. Access without root: udevd gave the device to the group; a member downloads, an
# outsider is told why not.
node=$(node_of "$A")
why=
by="udevd"
if [ $udev = no ]; then
  # No udevd here: the rule's effect (GROUP, MODE) applied by hand, and said so.
  by="hand (udevd did not start)"
  chgrp plugdev "$node" && chmod 660 "$node"
fi
[ "$(stat -c %G:%a "$node")" = plugdev:660 ] || why+="node $node is $(stat -c %G:%a "$node"); "
mkdir -p -m 700 /tmp/u1000 /tmp/u1001 && chown 1000 /tmp/u1000 && chown 1001 /tmp/u1001
as_user() {  # uid, groups option, command...
  setpriv --reuid "$1" --regid "$1" "$2" env HOME=/tmp/u$1 ZK32_SIM_DIR=/tmp/u$1 "${@:3}"
}
out=$(as_user 1000 --groups=46 env DNUSB_DEVICE=ZK-A timeout 60 Orvane 4710 wf 0 -i "$EX/firmware.bin" -u)
echo "$out" | grep -q "File Download to 0x000000: 3840 bytes" || why+="member: $(echo "$out" | tail -1); "
out=$(as_user 1001 --clear-groups dnusb-list 2>&1)
echo "$out" | grep -q "permission denied" || why+="outsider: $(echo "$out" | tr '\n' '|'); "
if [ -z "$why" ]; then pass "group rule applied by $by: a member downloads, an outsider gets 'permission denied'"
else fail "access without root" "$why"; fi

# --- 6. orvane-monitor follows the chip across QEMU's device_del and device_add, and keeps
# the interface (usblp detached) while it reads.
redir=$(dirname "$SHARE")/sim/zkA.redir
readd() {  # a fresh chardev each time: device_del takes the old one with it
  host monitor chardev-add "socket,id=zkA$1,path=$redir" >/dev/null
  host monitor device_add "usb-redir,chardev=zkA$1,id=devA$1,bus=xhci.0" >/dev/null
}
export DNUSB_DEVICE=ZK-A
orvane rst -u >/dev/null; orvane run -u >/dev/null
timeout 60 orvane-monitor --log "$T/monitor.log" >/dev/null 2>"$T/monitor.err" &
mon=$!
why=
end=$((SECONDS + 10))
until grep -q "count" "$T/monitor.log" 2>/dev/null || [ $SECONDS -ge $end ]; do sleep 0.1; done
[ "$(driver_of "$A")" = usbfs ] || why+="driver while reading: $(driver_of "$A"); "
host monitor device_del devA >/dev/null
sleep 2
before=$(wc -l <"$T/monitor.log")
readd 1
wait_usblp ZK-A 15 || true
end=$((SECONDS + 10))
until [ "$(wc -l <"$T/monitor.log")" -gt $((before + 1)) ] || [ $SECONDS -ge $end ]; do sleep 0.2; done
[ "$(wc -l <"$T/monitor.log")" -gt $((before + 1)) ] || why+="no output after device_add; "
[ -s "$T/monitor.err" ] || why+="removal not reported; "
# A `fault vanish` is a disconnect too, and `fault-clear` brings the device back.
host ctl zkA fault vanish >/dev/null
end=$((SECONDS + 10))
until [ "$(grep -c gone "$T/monitor.err")" -ge 2 ] || [ $SECONDS -ge $end ]; do sleep 0.2; done
[ "$(grep -c gone "$T/monitor.err")" -ge 2 ] || why+="vanish not seen; "
before=$(wc -l <"$T/monitor.log")
host ctl zkA fault-clear >/dev/null
end=$((SECONDS + 15))
until [ "$(wc -l <"$T/monitor.log")" -gt $((before + 1)) ] || [ $SECONDS -ge $end ]; do sleep 0.2; done
[ "$(wc -l <"$T/monitor.log")" -gt $((before + 1)) ] || why+="no output after fault-clear; "
kill $mon 2>/dev/null; wait $mon 2>/dev/null
unset DNUSB_DEVICE
if [ -z "$why" ]; then pass "orvane-monitor follows the chip across device_del/device_add and fault vanish/fault-clear"
else fail "monitor across removal" "$why$(tr '\n' '|' <"$T/monitor.err")"; fi

# --- 7. The device removed mid-download: a failure line, no hang.
A=$(device_of ZK-A)
DNUSB_DEVICE=ZK-A orvane wf 0 -i "$SHARE/image.bin" -u >"$T/removed.out" &
job=$!
end=$((SECONDS + 20))
until grep -q "address 4000" "$T/removed.out" || [ $SECONDS -ge $end ]; do sleep 0.1; done
host monitor device_del devA1 >/dev/null
started=$SECONDS
wait $job
last=$(grep -v '^$' "$T/removed.out" | tail -1)
# The failure line depends on the request the removal hit (a numbered line, or the erase's
# own " ... Error at address ..."); never the completion line.
if ! grep -q "File Download to" "$T/removed.out" && echo "$last" | grep -qi "err" &&
  [ $((SECONDS - started)) -lt 30 ]; then
  pass "removed mid-download: '$last' after $((SECONDS - started)) s"
else
  fail "removed mid-download" "last line '$last' after $((SECONDS - started)) s"
fi

power_off
