// SPDX-License-Identifier: Apache-2.0
#include "sim/spi_flash_port.h"

#include "sim/nor_flash.h"

namespace zk32sim {

namespace {
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadData = 0x03;
constexpr uint8_t kSelect = 0x00;
constexpr uint8_t kDeselect = 0x01;
constexpr uint8_t kSelectAndRead = 0x0a;
}  // namespace

void SpiFlashPort::reset() {
  control_ = kDeselect;
  selected_ = reading_ = write_enabled_ = false;
  count_ = 0;
}

uint8_t SpiFlashPort::peek(uint32_t address) {
  if (address == kSpiControl) return control_;
  if (reading_ && opcode_ == kReadData && count_ >= 4) return flash_.read(address_ + offset_);
  if (reading_ && opcode_ == kReadStatus) return write_enabled_ ? 0x02 : 0x00;
  return last_in_;
}

uint8_t SpiFlashPort::read(uint32_t address) {
  uint8_t value = peek(address);
  if (address == kSpiData && reading_ && opcode_ == kReadData && count_ >= 4) ++offset_;
  return value;
}

void SpiFlashPort::write(uint32_t address, uint8_t value) {
  if (address == kSpiData) {
    if (selected_) shift_out(value);
    return;
  }
  control_ = value;
  if (value == kDeselect) {
    if (selected_) end_command();
    selected_ = reading_ = false;
  } else if (value == kSelect) {
    if (selected_) end_command();  // a new command starts; the open one ends first
    selected_ = true;
    reading_ = false;
    count_ = 0;
    offset_ = 0;
  } else if (value == kSelectAndRead) {
    reading_ = selected_;
  }
}

void SpiFlashPort::shift_out(uint8_t value) {
  last_in_ = 0xff;  // nothing drives the data line back while we write
  if (count_ == 0) {
    opcode_ = value;
    address_ = 0;
  } else if (count_ <= 3) {
    address_ = address_ << 8 | value;
  } else if (opcode_ == kPageProgram && write_enabled_) {
    uint32_t page = address_ & ~(kPageSize - 1);
    flash_.program(page | ((address_ + offset_) & (kPageSize - 1)), value);
    ++offset_;
  }
  ++count_;
}

void SpiFlashPort::end_command() {
  if (count_ == 1 && opcode_ == kWriteEnable) {
    write_enabled_ = true;
  } else if (opcode_ == kSectorErase && count_ >= 4 && write_enabled_) {
    flash_.erase_sector(address_);
    write_enabled_ = false;
  } else if (opcode_ == kPageProgram && count_ >= 4 && write_enabled_) {
    write_enabled_ = false;
  }
  count_ = 0;
}

}  // namespace zk32sim
