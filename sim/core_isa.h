// SPDX-License-Identifier: Apache-2.0
// The small instruction set the simulated core executes, enough for sample firmware to call,
// loop, compute and print.  Instructions are 32-bit little-endian words.
//
// Our own control-flow words, recognised by the top byte:
//   e0 AAAAAA   j     ADDR         jump to the 24-bit address
//   e1 AAAAAA   jal   ADDR         call: push the next address, jump
//   e2 ------   ret                return to the last pushed address (empty stack: stay)
//   e3 R IIIII  li    rR, IMM20    register R (bits 23..20) = IMM20 (bits 19..0)
//   e4 R AAAAA  dbnz  rR, ADDR20   decrement register R, jump to ADDR20 if not zero
// and these RV32E base instructions with their usual encodings and meaning (registers r0..r15,
// r0 reads as zero):
//   lui; addi slti sltiu xori ori andi slli srli srai; add sub sll slt sltu xor srl sra or and;
//   lb lbu lw; sb sw; beq bne blt bge bltu bgeu.
// Anything else is a one-cycle instruction without effect (so erased flash runs as a stream of
// no-ops).  A base instruction whose top byte is e0..e4 reads as our own word: firmware avoids
// those few large negative immediates.
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

// What a load or store reaches; the core decides where each address goes.
class CoreMemory {
 public:
  virtual uint8_t load(uint32_t address) = 0;
  virtual void store(uint32_t address, uint8_t value) = 0;

 protected:
  ~CoreMemory() = default;
};

// Executes the instruction `word` found at regs->pc and moves the program counter.
void execute_instruction(uint32_t word, CoreRegisters *regs, CoreMemory *memory);

}  // namespace zk32sim

#endif
