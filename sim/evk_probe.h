// The EVK probe: its own memory (probe id word, EVK mailbox, staging buffer, probe
// registers), the EVK commands it takes through the mailbox, and the Vlane link to the
// target chip behind it.
#ifndef ZK32SIM_EVK_PROBE_H
#define ZK32SIM_EVK_PROBE_H

#include <cstddef>
#include <cstdint>

#include "sim/bus.h"
#include "sim/target_chip.h"

namespace zk32sim {

class EvkProbe {
 public:
  EvkProbe(TargetChip &target, ChipContext context);

  // A vendor request on the probe's own memory.
  void write_request(uint32_t address, const uint8_t *data, size_t n, bool fixed);
  void read_request(uint32_t address, uint8_t *out, size_t n, bool fixed);
  uint8_t peek(uint32_t address) { return bus_.peek(address); }
  void poke(uint32_t address, uint8_t value) { bus_.raw(address) = value; }

 private:
  TargetChip &target_;
  ChipContext context_;
  Bus bus_;
};

}  // namespace zk32sim

#endif
