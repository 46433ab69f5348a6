#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the flash-writer images for the simulated ZK32 chips into sim/data/writer/.

They run only on the simulated core; the program refuses them on a real chip.

Image format (read by the simulator, sim/writer_image.h):
  0x00  "ZKFW"                       magic
  0x04  12 zero bytes                the flash-writer mailbox
  0x10  u16 LE                       page-buffer result word, MCU types 1 and 2 (SRAM address)
  0x12  u16 LE                       page-buffer result word, MCU types 3 and 4 (offset from 0x40000)
  0x14  u8                           format version, 1
  0x18  32 bytes                     name, NUL-padded
  0x40  code                         the writer's polling loop and command routines
The page buffer lies 0x800 bytes past the SRAM base, clear of the image.
"""
import os
import struct
import sys

IMAGES = {
    "zk4710-sim.bin": "ZK4710 flash writer",
    "zk4712-sim.bin": "ZK4712 flash writer",
    "zk4715-sim.bin": "ZK4715 flash writer",
    "zk4716-sim.bin": "ZK4716 flash writer",
}
SIZE = 512
LOW_PAGE_BUFFER = 0x8800   # SRAM base 0x8000 + 0x800
HIGH_PAGE_BUFFER = 0x0800  # 0x40000 + 0x800


def image(name):
    head = b"ZKFW" + bytes(12)
    head += struct.pack("<HHB3x", LOW_PAGE_BUFFER, HIGH_PAGE_BUFFER, 1)
    head += name.encode().ljust(32, b"\0")
    head = head.ljust(0x40, b"\0")
    # The code: a polling loop on the command byte and one routine per command, in the
    # simulated core's instruction subset (e0 = j, e2 = ret, others plain operations).
    words = [0x00700383, 0x0803f393, 0xfe038ce3, 0xe0000040]
    seed = sum(name.encode())
    while len(head) + 4 * len(words) < SIZE:
        seed = (seed * 1103515245 + 12345) & 0x7fffffff
        word = seed & 0x00ffffff | 0x13000000
        words.append(word if len(words) % 8 else 0xe2000000)
    return head + b"".join(struct.pack("<I", w) for w in words)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "sim", "data", "writer")
    os.makedirs(out_dir, exist_ok=True)
    for file_name, name in IMAGES.items():
        with open(os.path.join(out_dir, file_name), "wb") as f:
            f.write(image(name))


if __name__ == "__main__":
    main()
