#include "sim/evk_probe.h"

namespace zk32sim {

EvkProbe::EvkProbe(TargetChip &target, ChipContext context)
    : target_(target), context_(context), bus_(0x10000) {}

void EvkProbe::write_request(uint32_t address, const uint8_t *data, size_t n, bool fixed) {
  for (size_t i = 0; i < n; ++i) bus_.write(fixed ? address : uint32_t(address + i), data[i]);
}

void EvkProbe::read_request(uint32_t address, uint8_t *out, size_t n, bool fixed) {
  for (size_t i = 0; i < n; ++i) out[i] = bus_.read(fixed ? address : uint32_t(address + i));
}

}  // namespace zk32sim
