// SPDX-License-Identifier: Apache-2.0
// The flash SPI controller in front of the NOR flash:
//   0x0d  control: 0x00 selects the flash (a command begins), 0x01 deselects it (the
//         command ends and takes effect), 0x0a keeps it selected and switches to reading;
//   0x0c  data: a byte written is shifted out to the flash; in reading, each read returns
//         the next byte shifted in.
// The flash answers Write Enable (0x06), Read Status (0x05), Sector Erase (0x20, 4 KB),
// Page Program (0x02, wrapping within its 256-byte page) and Read Data (0x03).  Erase and
// program need the Write Enable latch, which they clear.  A Read Data command's byte written
// after the three address bytes is a dummy that does not move the read position.
#ifndef ZK32SIM_SPI_FLASH_PORT_H
#define ZK32SIM_SPI_FLASH_PORT_H

#include <cstdint>

#include "sim/bus.h"

namespace zk32sim {

class NorFlash;

constexpr uint32_t kSpiData = 0x0c;
constexpr uint32_t kSpiControl = 0x0d;

class SpiFlashPort : public Peripheral {
 public:
  explicit SpiFlashPort(NorFlash &flash) : flash_(flash) {}
  uint8_t read(uint32_t address) override;
  void write(uint32_t address, uint8_t value) override;
  uint8_t peek(uint32_t address) override;
  void reset() override;

 private:
  void shift_out(uint8_t value);
  void end_command();

  NorFlash &flash_;
  uint8_t control_ = 0x01;
  bool selected_ = false;
  bool reading_ = false;
  bool write_enabled_ = false;
  uint8_t opcode_ = 0;
  uint32_t count_ = 0;  // bytes shifted out in this command, opcode included
  uint32_t address_ = 0;
  uint32_t offset_ = 0;  // data bytes read or programmed so far
  uint8_t last_in_ = 0xff;
};

}  // namespace zk32sim

#endif
