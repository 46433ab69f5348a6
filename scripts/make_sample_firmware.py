#!/usr/bin/env python3
"""Writes the sample firmware image examples/firmware.bin and its listing firmware.lst.

The code uses the simulated core's instruction subset (sim/core_isa.h): e0 j, e1 jal, e2 ret,
e3 li, e4 dbnz; every other word is a plain one-cycle operation.  After reset the core jumps
to main, calls the two init routines and then loops in main_loop for ever, so a core stopped
at any time after start-up shows a program counter inside main_loop.
"""
import os
import struct
import sys

PLAIN = {  # mnemonic -> encoding of the plain operations used below
    "nop": 0x00000013,
    "addi\tr2, r2, 1": 0x00110113,
    "lw\tr3, 0(r4)": 0x00022183,
    "andi\tr3, r3, 1": 0x0011f193,
    "sw\tr3, 4(r4)": 0x00322223,
    "addi\tr5, r5, 1": 0x00128293,
    "xor\tr6, r6, r5": 0x00534333,
    "lui\tr4, 0x20": 0x00020237,
    "sw\tr1, 0(r4)": 0x00122023,
    "ori\tr1, r1, 3": 0x0030e093,
    "sw\tr1, 8(r4)": 0x00122423,
    "lw\tr1, 12(r4)": 0x00c22083,
    "sw\tr1, 16(r4)": 0x00122823,
    "slli\tr1, r1, 8": 0x00809093,
}


def j(target):
    return (0xE0000000 | target, "j\t0x%x" % target)


def jal(target):
    return (0xE1000000 | target, "jal\t0x%x" % target)


def ret():
    return (0xE2000000, "ret")


def li(reg, value):
    return (0xE3000000 | reg << 20 | value, "li\tr%d, %d" % (reg, value))


def dbnz(reg, target):
    return (0xE4000000 | reg << 20 | target, "dbnz\tr%d, 0x%x" % (reg, target))


def op(name):
    return (PLAIN[name], name)


# (section, address, symbol, instructions)
ROUTINES = [
    (".vectors", 0x000, "_vectors", [j(0x100)] + [j(0x1c0)] * 15),
    (".text", 0x100, "main", [li(1, 16), jal(0x180), jal(0x1a0), li(2, 0), op("nop"),
                              op("nop"), op("nop"), j(0x124)]),
    (".text", 0x120, "main_loop", [li(2, 0), op("addi\tr2, r2, 1"), op("lw\tr3, 0(r4)"),
                                   op("andi\tr3, r3, 1"), op("sw\tr3, 4(r4)"),
                                   op("addi\tr5, r5, 1"), op("xor\tr6, r6, r5"), j(0x124)]),
    (".text", 0x140, "delay", [li(7, 100), dbnz(7, 0x144), ret()]),
    (".text", 0x180, "init_clocks", [op("lui\tr4, 0x20"), op("ori\tr1, r1, 3"),
                                     op("sw\tr1, 0(r4)"), op("nop"), ret()]),
    (".text", 0x1a0, "init_uart", [op("lui\tr4, 0x20"), op("slli\tr1, r1, 8"),
                                   op("sw\tr1, 8(r4)"), op("lw\tr1, 12(r4)"), ret()]),
    (".text", 0x1c0, "default_handler", [j(0x1c0)]),
    (".text", 0x1d0, "uart_putc", [op("lui\tr4, 0x20"), op("lw\tr1, 12(r4)"),
                                   op("sw\tr1, 16(r4)"), ret()]),
]
RODATA = 0x200
BANNER = b"Orvane sample firmware for the ZK32 simulator\0"


def rodata():
    data = BANNER.ljust(0x100, b"\0")
    # A CRC-32 table, so that the image has a realistic size and content.
    for n in range(256):
        c = n
        for _ in range(8):
            c = (0xEDB88320 ^ (c >> 1)) if c & 1 else (c >> 1)
        data += struct.pack("<I", c)
    # An 8x8 glyph table for 256 characters, generated rather than drawn.
    for ch in range(256):
        data += bytes(((ch * 37 + row * 11) ^ (ch >> 1)) & 0xFF for row in range(8))
    return data


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "examples")
    image = bytearray(b"\xff" * RODATA)
    lines = ["", "firmware.elf:     file format elf32-zk32", ""]
    section = None
    for name, address, symbol, code in ROUTINES:
        if name != section:
            lines += ["", "Disassembly of section %s:" % name]
            section = name
        lines += ["", "%08x <%s>:" % (address, symbol)]
        for i, (word, text) in enumerate(code):
            a = address + 4 * i
            image[a:a + 4] = struct.pack("<I", word)
            lines.append("%8x:\t%08x \t%s" % (a, word, text))
    data = rodata()
    image += data
    lines += ["", "Disassembly of section .rodata:", "", "%08x <banner>:" % RODATA]
    for a in range(0, 0x40, 4):
        lines.append("%8x:\t%s \t.word\t0x%s" % (RODATA + a, data[a:a + 4].hex(),
                                                 data[a:a + 4][::-1].hex()))
    lines.append("\t...")
    with open(os.path.join(out_dir, "firmware.bin"), "wb") as f:
        f.write(bytes(image))
    with open(os.path.join(out_dir, "firmware.lst"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
