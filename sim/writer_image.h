// SPDX-License-Identifier: Apache-2.0
// Our flash-writer image format.  The loader copies the file unchanged to the SRAM base B;
// the simulated core recognises it when started there:
//   B + 0x00  4 bytes   magic "ZKFW"
//   B + 0x04 12 bytes   zero: the flash-writer mailbox
//   B + 0x10  2 bytes   page-buffer result word for MCU types 1 and 2 (absolute SRAM address)
//   B + 0x12  2 bytes   page-buffer result word for MCU types 3 and 4 (offset from 0x40000)
//   B + 0x14  1 byte    format version (1)
//   B + 0x18 32 bytes   name, NUL-padded text
//   B + 0x40            the writer's code (its idle loop starts here)
// Anything else started at the SRAM base runs as user firmware and never acknowledges a
// flash-writer command.
#ifndef ZK32SIM_WRITER_IMAGE_H
#define ZK32SIM_WRITER_IMAGE_H

#include <cstdint>

#include "sim/bus.h"

namespace zk32sim {

constexpr uint8_t kWriterMagic[4] = {'Z', 'K', 'F', 'W'};
constexpr uint32_t kWriterLowBufferField = 0x10;
constexpr uint32_t kWriterHighBufferField = 0x12;
constexpr uint32_t kWriterVersionField = 0x14;
constexpr uint8_t kWriterVersion = 1;

inline bool is_writer_image(Bus &bus, uint32_t base) {
  for (uint32_t i = 0; i < 4; ++i) {
    if (bus.raw(base + i) != kWriterMagic[i]) return false;
  }
  return bus.raw(base + kWriterVersionField) == kWriterVersion;
}

}  // namespace zk32sim

#endif
