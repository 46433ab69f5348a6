#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Finds a ZK32 device through libdnusb with ctypes and shows what it is.

    python3 dnusb_info.py [LIBRARY]

LIBRARY is the path of libdnusb.so.1 (or dnusb.dll); by default the system's is used.
Without hardware, start a simulated chip first:  zk32-sim start --mode usb --type 1
Prints the device kind, its identity word and 16 bytes of SRAM at 0x8000 (MCU types 1 and 2);
exit code 1 when no device is found.
"""
import ctypes
import ctypes.util
import sys

DN_HANDLE_SIMULATED = 0x00010000
EVK_PROBE = 4
DIRECT = 1  # ReadMem transfer modes: the attached device itself,
THROUGH_PROBE = 4  # or the chip behind an EVK probe


def load(path):
    if path is None:
        path = ctypes.util.find_library("dnusb") or "libdnusb.so.1"
    # On 32-bit Windows the exports are stdcall.
    loader = ctypes.WinDLL if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4 \
        else ctypes.CDLL
    lib = loader(path)
    lib.GetPrintDeviceHandle.argtypes = [ctypes.c_uint32]
    lib.GetPrintDeviceHandle.restype = ctypes.c_uint32
    lib.IsEVKDevice.argtypes = [ctypes.c_uint32]
    lib.IsEVKDevice.restype = ctypes.c_int
    lib.ReadMem.argtypes = [ctypes.c_uint32, ctypes.c_uint32, ctypes.c_char_p, ctypes.c_int,
                            ctypes.c_int]
    lib.ReadMem.restype = ctypes.c_int
    return lib


def main():
    lib = load(sys.argv[1] if len(sys.argv) > 1 else None)
    handle = lib.GetPrintDeviceHandle(0xFFFF)  # any ZK32 device
    if handle == 0:
        print("no ZK32 device found (dnusb-list says why)", file=sys.stderr)
        return 1
    probe = lib.IsEVKDevice(handle) == EVK_PROBE
    kind = "EVK probe" if probe else "chip attached directly"
    where = "simulated" if handle & DN_HANDLE_SIMULATED else "on USB"
    identity = ctypes.create_string_buffer(4)
    lib.ReadMem(handle, 0x7E, identity, 4, DIRECT)
    sram = ctypes.create_string_buffer(16)
    got = lib.ReadMem(handle, 0x8000, sram, 16, THROUGH_PROBE if probe else DIRECT)
    print(f"device: {kind}, {where}")
    print(f"identity: 0x{int.from_bytes(identity.raw, 'little'):08x}")
    print(f"SRAM 0x8000: {sram.raw[:got].hex(' ')} ({got} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
