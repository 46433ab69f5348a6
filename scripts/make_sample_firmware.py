#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the sample firmware image examples/firmware.bin and its listing firmware.lst.

The code uses the simulated core's instruction set (sim/core_isa.h): our own e0 j, e1 jal,
e2 ret, e3 li, e4 dbnz, and a few RV32E base instructions.  After reset the core jumps to
main, calls the two init routines, prints its banner line on the UART and then loops in
main_loop for ever; every 0x20000 passes (about a second) the loop prints "count N".  A core
stopped at any time after start-up shows a program counter inside main_loop, except in the
rare moment it spends printing.
"""
import os
import struct
import sys

PLAIN = {  # mnemonic -> encoding of fixed operations used below
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
    "slli\tr1, r1, 8": 0x00809093,
}
UART_TX = 0xE0          # the UART transmit data register
REPORT_EVERY = 0x20000  # main_loop passes between two "count" lines
BANNER_AT, COUNT_TEXT_AT, POWERS_AT = 0x200, 0x230, 0x240


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


# RV32E base instructions, with their standard encodings.
def base(word, text):
    # The core reads a word with top byte e0..e4 as one of its own.
    assert not 0xE0 <= word >> 24 <= 0xE4, text
    return (word, text)


def addi(rd, rs, imm):
    return base((imm & 0xFFF) << 20 | rs << 15 | rd << 7 | 0x13, "addi\tr%d, r%d, %d" % (rd, rs, imm))


def reg_op(name, funct3, funct7, rd, rs1, rs2):
    return base(funct7 << 25 | rs2 << 20 | rs1 << 15 | funct3 << 12 | rd << 7 | 0x33,
                "%s\tr%d, r%d, r%d" % (name, rd, rs1, rs2))


def load(name, funct3, rd, offset, rs):
    return base((offset & 0xFFF) << 20 | rs << 15 | funct3 << 12 | rd << 7 | 0x03,
                "%s\tr%d, %d(r%d)" % (name, rd, offset, rs))


def sb(rs2, offset, rs1):
    imm = offset & 0xFFF
    return base((imm >> 5) << 25 | rs2 << 20 | rs1 << 15 | (imm & 31) << 7 | 0x23,
                "sb\tr%d, %d(r%d)" % (rs2, offset, rs1))


def branch(name, funct3, rs1, rs2, at, target):
    imm = (target - at) & 0x1FFF
    word = ((imm >> 12) & 1) << 31 | ((imm >> 5) & 63) << 25 | rs2 << 20 | rs1 << 15 | \
        funct3 << 12 | ((imm >> 1) & 15) << 8 | ((imm >> 11) & 1) << 7 | 0x63
    return base(word, "%s\tr%d, r%d, 0x%x" % (name, rs1, rs2, target)) + (at,)


PUTS, PRINT_BANNER, PRINT_COUNT, UART_PUTC = 0x040, 0x060, 0x070, 0x1D0

# (section, address, symbol, instructions)
ROUTINES = [
    (".vectors", 0x000, "_vectors", [j(0x100)] + [j(0x1c0)] * 15),
    # Sends the NUL-terminated string at r8.
    (".text", PUTS, "puts", [load("lbu", 4, 1, 0, 8), branch("beq", 0, 1, 0, 0x44, 0x54),
                             jal(UART_PUTC), addi(8, 8, 1), j(PUTS), ret()]),
    (".text", PRINT_BANNER, "print_banner", [li(8, BANNER_AT), jal(PUTS), ret()]),
    # r10 += 1, then "count <r10 in decimal>\n": each digit by repeated subtraction of the
    # powers of ten at POWERS_AT, leading zeros left out (r14: a non-zero digit was seen).
    (".text", PRINT_COUNT, "print_count", [
        addi(10, 10, 1), li(8, COUNT_TEXT_AT), jal(PUTS), addi(12, 10, 0), li(13, POWERS_AT),
        li(14, 0),
        load("lw", 2, 15, 0, 13), branch("beq", 0, 15, 0, 0x8c, 0xc4), li(1, 48),     # 0x88
        branch("bltu", 6, 12, 15, 0x94, 0xa4), reg_op("sub", 0, 0x20, 12, 12, 15),     # 0x94
        addi(1, 1, 1), j(0x94),
        addi(13, 13, 4), addi(11, 1, -48), reg_op("or", 6, 0, 14, 14, 11),            # 0xa4
        branch("bne", 1, 14, 0, 0xb0, 0xbc), addi(11, 15, -1),
        branch("bne", 1, 11, 0, 0xb8, 0x88), jal(UART_PUTC), j(0x88),
        li(1, 10), jal(UART_PUTC), ret()]),                                            # 0xc4
    (".text", 0x100, "main", [li(1, 16), jal(0x180), jal(0x1a0), li(2, 0), jal(PRINT_BANNER),
                              li(9, REPORT_EVERY), li(10, 0), j(0x124)]),
    (".text", 0x120, "main_loop", [li(2, 0), op("addi\tr2, r2, 1"), op("lw\tr3, 0(r4)"),
                                   op("andi\tr3, r3, 1"), op("sw\tr3, 4(r4)"),
                                   op("addi\tr5, r5, 1"), op("xor\tr6, r6, r5"), dbnz(9, 0x124),
                                   jal(PRINT_COUNT), li(9, REPORT_EVERY), j(0x124)]),
    (".text", 0x150, "delay", [li(7, 100), dbnz(7, 0x154), ret()]),
    (".text", 0x180, "init_clocks", [op("lui\tr4, 0x20"), op("ori\tr1, r1, 3"),
                                     op("sw\tr1, 0(r4)"), op("nop"), ret()]),
    (".text", 0x1a0, "init_uart", [op("lui\tr4, 0x20"), op("slli\tr1, r1, 8"),
                                   op("sw\tr1, 8(r4)"), op("lw\tr1, 12(r4)"), ret()]),
    (".text", 0x1c0, "default_handler", [j(0x1c0)]),
    # Sends the byte in r1.
    (".text", UART_PUTC, "uart_putc", [sb(1, UART_TX, 0), ret()]),
]
RODATA = BANNER_AT
BANNER = b"Orvane sample firmware for the ZK32 simulator\n\0"


def rodata():
    data = BANNER.ljust(COUNT_TEXT_AT - RODATA, b"\0")
    data += b"count \0".ljust(POWERS_AT - COUNT_TEXT_AT, b"\0")
    data += b"".join(struct.pack("<I", 10 ** n) for n in range(9, -1, -1)) + struct.pack("<I", 0)
    data = data.ljust(0x100, b"\0")
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
        for i, (word, text, *at) in enumerate(code):
            a = address + 4 * i
            assert at in ([], [a]), "%s: branch placed at 0x%x, written for 0x%x" % (text, a, at[0])
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
