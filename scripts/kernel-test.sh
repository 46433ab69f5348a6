#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The real USB stack between the library and the simulated chip: boots the machine's stock
# Debian kernel in QEMU (TCG) with a busybox initramfs built here, attaches two simulated
# devices (a chip on USB and an EVK probe, `zk32-sim --usbredir`) to the guest's emulated xHCI
# controller, and runs scripts/kernel-guest.sh in the guest, on the machine's own root file
# system shared read-only over 9p, so the guest runs the binaries just built.  The guest asks
# this script, through a shared folder, for what only the host can do (the simulators'
# control language, QEMU's monitor).  Prints one line per check; exit 0 all passed, 1 a
# check failed, 77 skipped (with one line saying why).
#   scripts/kernel-test.sh [BIN_DIR]     (default build/release/bin)
# ZK32_RIG_MODE=bench runs bench/usbredir's measurements in the guest instead of the checks.
set -uo pipefail

# The project's udev rule file (its commented-out group rule is the one applied in the guest).
UDEV_RULES=${ZK32_UDEV_RULES:-data/udev/60-zk32.rules}

cd "$(dirname "$0")/.."
ROOT=$PWD
BIN=$(cd "${1:-build/release/bin}" 2>/dev/null && pwd) || BIN=
RIG=$ROOT/build/kernel-rig
TIMEOUT_S=175  # the whole guest session; the rig must stay under 3 minutes

skip() { echo "SKIP: kernel rig: $*"; exit 77; }

# 1. What the rig needs, or one line saying what is missing.
QEMU=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed"
KERNEL=$(ls /boot/vmlinuz-* 2>/dev/null | grep -v cloud | sort -V | tail -1)
[ -n "$KERNEL" ] || skip "no stock kernel in /boot (linux-image-amd64)"
KVER=${KERNEL#/boot/vmlinuz-}
[ -r "$KERNEL" ] || skip "$KERNEL is not readable"
[ -d /lib/modules/$KVER/kernel ] || skip "no modules for $KVER in /lib/modules"
BUSYBOX=$(command -v busybox) || skip "busybox is not installed (busybox-static)"
file -L "$BUSYBOX" 2>/dev/null | grep -q "statically linked" ||
  skip "$BUSYBOX is not statically linked (busybox-static)"
command -v cpio >/dev/null || skip "cpio is not installed"
command -v python3 >/dev/null || skip "python3 is not installed"
[ -n "$BIN" ] && [ -x "$BIN/zk32-sim" ] && [ -x "$BIN/Orvane" ] || skip "not built: $BIN"
[ -f "$UDEV_RULES" ] || skip "no udev rule file at $UDEV_RULES"
for m in usblp usbmon xhci_pci 9p 9pnet_virtio virtio_pci; do
  modprobe -S "$KVER" --show-depends "$m" >/dev/null 2>&1 || skip "the kernel has no module $m"
done

rm -rf "$RIG"
mkdir -p "$RIG/initramfs" "$RIG/share" "$RIG/sim"
SHARE=$RIG/share
QEMU_PID=
cleanup() {
  [ -n "$QEMU_PID" ] && kill "$QEMU_PID" 2>/dev/null
  "$BIN/zk32-sim" stop --dir "$RIG/sim" >/dev/null 2>&1
  exec 9>&- 2>/dev/null
}
trap cleanup EXIT

# 2. The simulators: A a chip on USB, B an EVK probe, each also served over usbredir.
sim() { "$BIN/zk32-sim" "$1" --dir "$RIG/sim" "${@:2}"; }
out=$(sim start --name zkA --mode usb --type 1 --serial ZK-A --usbredir "$RIG/sim/zkA.redir" 2>&1) || {
  echo "$out" | grep -q "without libusbredirparser" && skip "zk32-sim was built without libusbredirparser"
  echo "FAIL: kernel rig: the simulator did not start: $out"; exit 1
}
sim start --name zkB --mode evk --type 1 --serial ZK-B --usbredir "$RIG/sim/zkB.redir" ||
  { echo "FAIL: kernel rig: the simulator did not start"; exit 1; }

# The lines of a download whose first page program stalls, through the simulator's own
# socket, to compare with the guest's.  The fault is tied to the page buffer's address, not to
# a count of requests: the two ports find and open a device with different requests.
STALL_FAULT="write-fail 8800 1"
head -c 65536 /dev/urandom >"$SHARE/image.bin"
sim start --name ref --mode usb --type 1 >/dev/null || exit 1
sim ctl --name ref fault $STALL_FAULT >/dev/null
ZK32_SIM_DIR=$RIG/sim DNUSB_DEVICE=ref "$BIN/Orvane" 4710 wf 0 -i "$SHARE/image.bin" -u |
  grep -v "Total Time" >"$SHARE/stall.expected"
echo "$STALL_FAULT" >"$SHARE/stall.fault"
sim stop --name ref

# 3. The initramfs: busybox, the 9p modules, an init that mounts the host's root and runs
# the guest script in it.
IR=$RIG/initramfs
mkdir -p "$IR/bin" "$IR/lib" "$IR/proc" "$IR/sys" "$IR/dev" "$IR/host"
cp "$BUSYBOX" "$IR/bin/busybox"
for m in virtio_pci 9pnet_virtio 9p; do modprobe -S "$KVER" --show-depends $m; done |
  awk '$1 == "insmod" && !seen[$2]++ {print $2}' | while read -r ko; do
    cp "$ko" "$IR/lib/"
    echo "/lib/$(basename "$ko")" >>"$IR/modules"
  done
cat >"$IR/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for ko in \$(cat /modules); do insmod \$ko; done
opts=trans=virtio,version=9p2000.L,msize=262144
mount -t 9p -o ro,\$opts hostroot /host || echo "guest: no 9p root"
mount -t 9p -o \$opts share /host$SHARE
mount -t proc proc /host/proc; mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev; mount -t tmpfs tmp /host/tmp; mount -t tmpfs run /host/run
mount -t debugfs debugfs /host/sys/kernel/debug
# The host's root becomes the guest's (not a chroot: udevadm ignores requests in one).
exec switch_root /host /bin/bash $ROOT/scripts/kernel-guest.sh $BIN $SHARE $ROOT/$UDEV_RULES ${ZK32_RIG_MODE:-checks}
EOF
chmod +x "$IR/init"
(cd "$IR" && find . | cpio -o -H newc --quiet | gzip -1) >"$RIG/initramfs.gz"

# 4. The guest, under TCG: KVM guests did not start on the machines this was written on
# (ZK32_RIG_ACCEL=kvm tries it).
accel=${ZK32_RIG_ACCEL:-tcg}
mkfifo "$RIG/monitor"
"$QEMU" -accel $accel -m 512 -smp 1 -display none -no-reboot \
  -kernel "$KERNEL" -initrd "$RIG/initramfs.gz" \
  -append "console=ttyS0 quiet panic=-1 rdinit=/init" \
  -virtfs local,path=/,mount_tag=hostroot,readonly=on,multidevs=remap,security_model=none \
  -virtfs local,path="$SHARE",mount_tag=share,security_model=none \
  -device qemu-xhci,id=xhci \
  -chardev socket,id=zkA,path="$RIG/sim/zkA.redir" -device usb-redir,chardev=zkA,id=devA,bus=xhci.0 \
  -chardev socket,id=zkB,path="$RIG/sim/zkB.redir" -device usb-redir,chardev=zkB,id=devB,bus=xhci.0 \
  -serial file:"$RIG/console.log" -monitor stdio <"$RIG/monitor" >"$RIG/monitor.log" 2>&1 &
QEMU_PID=$!
exec 9>"$RIG/monitor"

# 5. The guest's requests: SHARE/req.N holds "ctl NAME WORDS..." or "monitor COMMAND"; the
# answer goes to SHARE/ack.N.
n=1
deadline=$((SECONDS + TIMEOUT_S))
while kill -0 "$QEMU_PID" 2>/dev/null; do
  if [ $SECONDS -ge $deadline ]; then
    echo "FAIL: kernel rig: the guest did not finish within $TIMEOUT_S s"
    kill "$QEMU_PID"
    break
  fi
  if [ -f "$SHARE/req.$n" ]; then
    read -r kind name rest <"$SHARE/req.$n"
    case $kind in
      ctl) answer=$(sim ctl --name "$name" $rest 2>&1) ;;
      monitor) echo "$name $rest" >&9; sleep 0.3; answer=$(tail -3 "$RIG/monitor.log") ;;
      *) answer="unknown request" ;;
    esac
    echo "$answer" >"$SHARE/ack.tmp" && mv "$SHARE/ack.tmp" "$SHARE/ack.$n"
    n=$((n + 1))
    continue
  fi
  sleep 0.05
done
wait "$QEMU_PID" 2>/dev/null
QEMU_PID=

# 6. The verdict: the guest's check lines, and a guest that never got to run them.
if ! grep -q "^guest: ready" "$RIG/console.log"; then
  reason=$(grep -m1 -i "kernel panic\|guest: no 9p\|could not\|error" "$RIG/console.log" "$RIG/monitor.log")
  skip "the guest did not come up (${reason:-see $RIG/console.log})"
fi
grep -E "^(PASS|FAIL|BENCH): " "$RIG/console.log" | tr -d '\r'
if grep -q "^FAIL: " "$RIG/console.log" || ! grep -q "^guest: all checks ran" "$RIG/console.log"; then
  echo "kernel rig: FAILED (guest console: $RIG/console.log)"
  exit 1
fi
echo "kernel rig: all checks passed ($accel, ${SECONDS} s)"
