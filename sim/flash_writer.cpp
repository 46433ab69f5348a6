// SPDX-License-Identifier: Apache-2.0
#include "sim/flash_writer.h"

#include <cstdio>

#include "sim/core.h"
#include "sim/nor_flash.h"
#include "sim/writer_image.h"

namespace zk32sim {

namespace {
constexpr uint32_t kResultWord = 4;
constexpr uint32_t kAckByte = 6;
constexpr uint32_t kCommandByte = 7;
constexpr uint32_t kAddressField = 8;
constexpr uint32_t kLengthField = 12;
constexpr uint8_t kExecute = 0x80;
}  // namespace

FlashWriter::FlashWriter(Bus &bus, NorFlash &flash, Core &core, const Settings &settings,
                         const Faults &faults, TraceLog &trace, int mcu_type,
                         uint32_t sram_base, uint32_t sram_size)
    : bus_(bus),
      flash_(flash),
      core_(core),
      settings_(settings),
      faults_(faults),
      trace_(trace),
      mcu_type_(mcu_type),
      base_(sram_base),
      sram_size_(sram_size) {}

uint32_t FlashWriter::word(uint32_t offset, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t(bus_.raw(base_ + offset + i)) << (8 * i);
  return v;
}

void FlashWriter::put(uint32_t offset, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) bus_.raw(base_ + offset + i) = uint8_t(value >> (8 * i));
}

int FlashWriter::duration_ms(uint8_t code) const {
  if (code == 'M') return settings_.writer_erase_ms;
  if (code == 'A') return settings_.writer_program_ms;
  if (code == 'O') return settings_.writer_read_ms;
  return 0;
}

// The page buffer as the writer's image declares it; false when it would not lie in SRAM.
bool FlashWriter::page_buffer(uint32_t *address) {
  bool high = mcu_type_ == 3 || mcu_type_ == 4;
  uint32_t field = word(high ? kWriterHighBufferField : kWriterLowBufferField, 2);
  uint32_t a = high ? 0x40000 + field : field;
  if (a < base_ || a + kPageSize > base_ + sram_size_) return false;
  *address = a;
  return true;
}

void FlashWriter::advance(double now) {
  if (!core_.serving_flash_writer() || !is_writer_image(bus_, base_)) {
    busy_ = false;
    return;
  }
  uint8_t command = bus_.raw(base_ + kCommandByte);
  if (!(command & kExecute)) {
    busy_ = false;
    return;
  }
  if (faults_.writer_stuck) return;
  uint8_t code = command & 0x7f;
  if (!busy_) {
    busy_ = true;
    due_ms_ = now + duration_ms(code);
  }
  if (now < due_ms_) return;
  busy_ = false;
  uint32_t address = word(kAddressField, 4);
  uint32_t length = word(kLengthField, 4);
  char line[64];
  snprintf(line, sizeof line, "writer %c %x %x", code >= 0x20 && code < 0x7f ? code : '?',
           address, length);
  trace_.event(line);
  uint8_t ack = carry_out(code, address, length);
  if (faults_.writer_bad_ack) ack = uint8_t(code ^ 0x20);
  bus_.raw(base_ + kAckByte) = ack;
  bus_.raw(base_ + kCommandByte) = command & 0x7f;  // done: the execute flag clears last
}

// The flash ends where it ends: a command reaching past it is refused, never wrapped round
// to the start (which would erase or overwrite the boot sector).
bool FlashWriter::within_flash(uint32_t address, uint32_t length) const {
  return uint64_t(address) + length <= flash_.size();
}

uint8_t FlashWriter::carry_out(uint8_t code, uint32_t address, uint32_t length) {
  uint32_t buffer;
  if (!page_buffer(&buffer)) return kWriterErrorAck;
  switch (code) {
    case '@': {
      bool high = mcu_type_ == 3 || mcu_type_ == 4;
      put(kResultWord, word(high ? kWriterHighBufferField : kWriterLowBufferField, 2), 2);
      return code;
    }
    case 'A': {
      if (length < 1 || length > kPageSize || !within_flash(address, length)) {
        return kWriterErrorAck;
      }
      if (faults_.program_fail && faults_.program_fail_addr - address < length) {
        return kWriterErrorAck;
      }
      for (uint32_t i = 0; i < length; ++i) flash_.program(address + i, bus_.raw(buffer + i));
      // A cell that does not hold what was programmed, and a writer that acknowledges anyway.
      const uint32_t corrupt = faults_.program_corrupt_addr;
      if (faults_.program_corrupt && corrupt - address < length) {
        flash_.set(corrupt, uint8_t(flash_.read(corrupt) ^ 0x01));
      }
      return code;
    }
    case 'M': {
      if (!within_flash(address, 1)) return kWriterErrorAck;
      uint32_t sector = address / kSectorSize * kSectorSize;
      if (faults_.erase_fail && faults_.erase_fail_addr - sector < kSectorSize) {
        return kWriterErrorAck;
      }
      flash_.erase_sector(address);
      return code;
    }
    case 'O': {
      if (length < 1 || length > 8 || !within_flash(address, length)) return kWriterErrorAck;
      uint32_t data_offset = length <= 2 ? kResultWord : kAddressField;
      for (uint32_t i = 0; i < length; ++i) {
        bus_.raw(base_ + data_offset + i) = flash_.read(address + i);
      }
      return code;
    }
    default:
      return kWriterErrorAck;
  }
}

}  // namespace zk32sim
