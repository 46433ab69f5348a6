// SPDX-License-Identifier: Apache-2.0
// The flash writer as the simulated core runs it: it watches the mailbox at SRAM base B + 4
// to B + 15 and carries out the command whose execute flag (bit 7 of B + 7) is set:
//   '@' page-buffer query: result word (B + 4) = the page-buffer field of the image;
//   'A' program `length` (1..256) bytes from the page buffer at the flash address;
//   'M' erase the 4 KB sector holding the address;
//   'O' read 1..8 bytes: 1 or 2 into the result word, 3..8 into B + 8 onwards.
// When done it writes the command code into the acknowledge byte (B + 6), then clears the
// execute flag.  A command it cannot carry out (bad length, unknown code, injected erase or
// program failure) is acknowledged with kWriterErrorAck and leaves the flash unchanged.
#ifndef ZK32SIM_FLASH_WRITER_H
#define ZK32SIM_FLASH_WRITER_H

#include <cstdint>

#include "sim/bus.h"
#include "sim/settings.h"
#include "sim/trace_log.h"

namespace zk32sim {

class Core;
class NorFlash;

constexpr uint8_t kWriterErrorAck = 0xee;

class FlashWriter : public ChipPart {
 public:
  FlashWriter(Bus &bus, NorFlash &flash, Core &core, const Settings &settings,
              const Faults &faults, TraceLog &trace, int mcu_type, uint32_t sram_base,
              uint32_t sram_size);
  // Takes a newly flagged command and finishes the one in progress when its time is up.
  void advance(double now);
  // A chip reset drops the command in progress.
  void reset() override { busy_ = false; }

 private:
  uint32_t word(uint32_t offset, int bytes);
  void put(uint32_t offset, uint32_t value, int bytes);
  int duration_ms(uint8_t code) const;
  uint8_t carry_out(uint8_t code, uint32_t address, uint32_t length);
  bool within_flash(uint32_t address, uint32_t length) const;
  bool page_buffer(uint32_t *address);

  Bus &bus_;
  NorFlash &flash_;
  Core &core_;
  const Settings &settings_;
  const Faults &faults_;
  TraceLog &trace_;
  int mcu_type_;
  uint32_t base_;
  uint32_t sram_size_;
  bool busy_ = false;
  double due_ms_ = 0;
};

}  // namespace zk32sim

#endif
