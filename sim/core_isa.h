// The small instruction subset the simulated core executes, enough for sample firmware to
// call, return and loop.  Instructions are 32-bit little-endian words; the top byte is the
// operation:
//   e0 AAAAAA   j     ADDR         jump to the 24-bit address
//   e1 AAAAAA   jal   ADDR         call: push the next address, jump
//   e2 ------   ret                return to the last pushed address (empty stack: stay)
//   e3 R IIIII  li    rR, IMM20    register R (bits 23..20) = IMM20 (bits 19..0)
//   e4 R AAAAA  dbnz  rR, ADDR20   decrement register R, jump to ADDR20 if not zero
//   anything else                  a one-cycle instruction without control flow
#ifndef ZK32SIM_CORE_ISA_H
#define ZK32SIM_CORE_ISA_H

#include <cstdint>

namespace zk32sim {

constexpr uint32_t kInstructionSize = 4;

struct CoreRegisters {
  uint32_t pc = 0;
  uint32_t r[16] = {};
  uint32_t stack[16] = {};
  int depth = 0;
};

// Executes the instruction `word` found at regs->pc and moves the program counter.
void execute_instruction(uint32_t word, CoreRegisters *regs);

}  // namespace zk32sim

#endif
