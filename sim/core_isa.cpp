#include "sim/core_isa.h"

namespace zk32sim {

void execute_instruction(uint32_t word, CoreRegisters *regs) {
  uint32_t next = regs->pc + kInstructionSize;
  uint32_t reg = (word >> 20) & 15;
  switch (word >> 24) {
    case 0xe0:
      next = word & 0xffffff;
      break;
    case 0xe1:
      // A full return stack drops the oldest entry, like a hardware stack that wraps.
      if (regs->depth == 16) {
        for (int i = 1; i < 16; ++i) regs->stack[i - 1] = regs->stack[i];
        --regs->depth;
      }
      regs->stack[regs->depth++] = next;
      next = word & 0xffffff;
      break;
    case 0xe2:
      next = regs->depth > 0 ? regs->stack[--regs->depth] : regs->pc;
      break;
    case 0xe3:
      regs->r[reg] = word & 0xfffff;
      break;
    case 0xe4:
      if (--regs->r[reg] != 0) next = word & 0xfffff;
      break;
    default:
      break;
  }
  regs->pc = next;
}

}  // namespace zk32sim
