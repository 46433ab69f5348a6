// SPDX-License-Identifier: Apache-2.0
#include "sim/core_isa.h"

namespace zk32sim {

namespace {

// --- Our own control-flow words -----------------------------------------------------------

bool execute_own(uint32_t word, CoreRegisters *regs, uint32_t *next) {
  uint32_t reg = (word >> 20) & 15;
  switch (word >> 24) {
    case 0xe0:
      *next = word & 0xffffff;
      return true;
    case 0xe1:
      // A full return stack drops the oldest entry, like a hardware stack that wraps.
      if (regs->depth == 16) {
        for (int i = 1; i < 16; ++i) regs->stack[i - 1] = regs->stack[i];
        --regs->depth;
      }
      regs->stack[regs->depth++] = *next;
      *next = word & 0xffffff;
      return true;
    case 0xe2:
      *next = regs->depth > 0 ? regs->stack[--regs->depth] : regs->pc;
      return true;
    case 0xe3:
      regs->r[reg] = word & 0xfffff;
      return true;
    case 0xe4:
      if (--regs->r[reg] != 0) *next = word & 0xfffff;
      return true;
    default:
      return false;
  }
}

// --- RV32E base instructions ----------------------------------------------------------------

int32_t sign_extend(uint32_t value, int bits) {
  uint32_t sign = 1u << (bits - 1);
  return int32_t((value ^ sign) - sign);
}

uint32_t imm_i(uint32_t w) { return uint32_t(sign_extend(w >> 20, 12)); }
uint32_t imm_s(uint32_t w) { return uint32_t(sign_extend((w >> 25) << 5 | ((w >> 7) & 31), 12)); }
uint32_t imm_b(uint32_t w) {
  uint32_t v = (w >> 31) << 12 | ((w >> 7) & 1) << 11 | ((w >> 25) & 63) << 5 |
               ((w >> 8) & 15) << 1;
  return uint32_t(sign_extend(v, 13));
}

// The arithmetic shared by register-immediate (alt: srai) and register-register forms
// (alt: sub, sra).  Returns false for an operation outside the subset.
bool alu(uint32_t funct3, bool alt, uint32_t a, uint32_t b, uint32_t *out) {
  switch (funct3) {
    case 0: *out = alt ? a - b : a + b; return true;
    case 1: *out = a << (b & 31); return true;
    case 2: *out = int32_t(a) < int32_t(b); return true;
    case 3: *out = a < b; return true;
    case 4: *out = a ^ b; return true;
    case 5: *out = alt ? uint32_t(int32_t(a) >> (b & 31)) : a >> (b & 31); return true;
    case 6: *out = a | b; return true;
    default: *out = a & b; return true;
  }
}

bool branch_taken(uint32_t funct3, uint32_t a, uint32_t b, bool *taken) {
  switch (funct3) {
    case 0: *taken = a == b; return true;
    case 1: *taken = a != b; return true;
    case 4: *taken = int32_t(a) < int32_t(b); return true;
    case 5: *taken = int32_t(a) >= int32_t(b); return true;
    case 6: *taken = a < b; return true;
    case 7: *taken = a >= b; return true;
    default: return false;
  }
}

void execute_base(uint32_t w, CoreRegisters *regs, CoreMemory *memory, uint32_t *next) {
  uint32_t rd = (w >> 7) & 31, rs1 = (w >> 15) & 31, rs2 = (w >> 20) & 31;
  uint32_t funct3 = (w >> 12) & 7;
  uint32_t opcode = w & 0x7f;
  // RV32E has sixteen registers; the fields a format does not use carry immediate bits.
  bool uses_rd = opcode != 0x23 && opcode != 0x63;
  bool uses_rs1 = opcode != 0x37;
  bool uses_rs2 = opcode == 0x33 || opcode == 0x23 || opcode == 0x63;
  if ((uses_rd && rd > 15) || (uses_rs1 && rs1 > 15) || (uses_rs2 && rs2 > 15)) return;
  uint32_t a = uses_rs1 && rs1 ? regs->r[rs1] : 0;
  uint32_t b = uses_rs2 && rs2 ? regs->r[rs2] : 0;
  uint32_t result = 0;
  bool writes = false;
  switch (opcode) {
    case 0x37:  // lui
      result = w & 0xfffff000;
      writes = true;
      break;
    case 0x13: {  // register-immediate
      bool shift = funct3 == 1 || funct3 == 5;
      uint32_t imm = shift ? rs2 : imm_i(w);
      writes = alu(funct3, shift && (w >> 30 & 1), a, imm, &result);
      break;
    }
    case 0x33:  // register-register
      if ((w >> 25) != 0 && (w >> 25) != 0x20) return;
      writes = alu(funct3, (w >> 30) & 1, a, b, &result);
      break;
    case 0x03: {  // loads: lb, lw, lbu
      uint32_t at = a + imm_i(w);
      if (funct3 == 0 || funct3 == 4) {
        result = memory->load(at);
        if (funct3 == 0) result = uint32_t(sign_extend(result, 8));
      } else if (funct3 == 2) {
        for (uint32_t i = 0; i < 4; ++i) result |= uint32_t(memory->load(at + i)) << (8 * i);
      } else {
        return;
      }
      writes = true;
      break;
    }
    case 0x23: {  // stores: sb, sw
      uint32_t at = a + imm_s(w);
      if (funct3 == 0) memory->store(at, uint8_t(b));
      if (funct3 == 2) {
        for (uint32_t i = 0; i < 4; ++i) memory->store(at + i, uint8_t(b >> (8 * i)));
      }
      return;
    }
    case 0x63: {  // branches
      bool taken = false;
      if (branch_taken(funct3, a, b, &taken) && taken) *next = regs->pc + imm_b(w);
      return;
    }
    default:
      return;
  }
  if (writes && rd != 0) regs->r[rd] = result;
}

}  // namespace

void execute_instruction(uint32_t word, CoreRegisters *regs, CoreMemory *memory) {
  uint32_t next = regs->pc + kInstructionSize;
  if (!execute_own(word, regs, &next)) execute_base(word, regs, memory, &next);
  regs->pc = next;
}

}  // namespace zk32sim
