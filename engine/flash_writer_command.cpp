// SPDX-License-Identifier: Apache-2.0
// One command to the running flash writer through its mailbox in target SRAM (B = SRAM base):
//   B+4  result word (16 bits)   B+6  acknowledge byte   B+7  command byte (bit 7: execute)
//   B+8  address (32 bits)       B+12 length (32 bits)
#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kAckTimeoutMs = 2000;
constexpr unsigned char kExecuteFlag = 0x80;

struct writer_messages {
  msg clear;
  msg write;
  msg execute;
  msg acknowledge;
  msg timeout;  // carries the limit in milliseconds
};

// By mode and group: usb 3/4, usb others, evk 3/4, evk others.
const writer_messages kMessages[4] = {
    {msg::clear_buff_err_158, msg::write_buff_err_159,
     msg::execute_cmd_err_160, msg::wait_for_ack_err_162,
     msg::wait_for_ack_timeout_ms_161},
    {msg::clear_buff_err_163, msg::write_buff_err_164,
     msg::execute_cmd_err_165, msg::wait_for_ack_err_168,
     msg::wait_for_ack_timeout_ms_167},
    {msg::clear_buff_err_169, msg::write_buff_err_170,
     msg::execute_cmd_err_171, msg::wait_for_ack_err_173,
     msg::wait_for_ack_timeout_ms_172},
    {msg::clear_buff_err_174, msg::write_buff_err_175,
     msg::execute_cmd_err_176, msg::wait_for_ack_err_178,
     msg::wait_for_ack_timeout_ms_177},
};

int message_row(int mode, int mcu_type) {
  return (mode == kModeEvk ? 2 : 0) + (is_family34(mcu_type) ? 0 : 1);
}

void put_le32(unsigned char *out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

uint32_t flash_writer_command(dn_handle_t handle, int command, int mode, int mcu_type,
                              uint32_t address, uint32_t length, outcome *ended) {
  outcome unused = kDone;
  if (ended == nullptr) ended = &unused;
  const int row = message_row(mode, mcu_type);
  const writer_messages &text = kMessages[row];
  target_route route = make_route(handle, mode, mcu_type);
  const uint32_t base = sram_base(mcu_type);
  const unsigned char code = static_cast<unsigned char>(command);

  // 1. Command byte (execute flag clear), address, length.
  unsigned char block[9];
  block[0] = code;
  put_le32(block + 1, address);
  put_le32(block + 5, length);

  // 2. Clear the result word and the acknowledge byte.
  const unsigned char zeros[3] = {0, 0, 0};
  if (route_write(route, base + 4, zeros, 3) != 3) {
    *ended = fail(text.clear);
    return 0;
  }
  // 3. The block, from the command byte on.
  if (route_write(route, base + 7, block, 9) != 9) {
    *ended = fail(text.write);
    return 0;
  }
  // 4. Execute.
  if (route_write_byte(route, base + 7, code | kExecuteFlag) != 1) {
    *ended = fail(text.execute);
    return 0;
  }
  // 5. The writer clears the execute flag when done.  The time limit is tested before the
  // byte just read is looked at.  A failed read leaves the byte as it was: still executing.
  unsigned char command_byte = code | kExecuteFlag;
  const uint32_t started = clock_ms();
  do {
    route_read(route, base + 7, &command_byte, 1);
    wait_ms(1);
    if (clock_ms() - started > kAckTimeoutMs) {
      *ended = fail(text.timeout, static_cast<int>(kAckTimeoutMs));
      return 0;
    }
  } while (command_byte & kExecuteFlag);

  // 6. Result word and acknowledge byte.
  unsigned char result[4] = {0, 0, 0, 0};
  if (route_read(route, base + 4, result, 4) != 4) {
    *ended = fail(msg::writer_result_read_240);
    return 0;
  }
  // 7. The writer acknowledges with the code of the command it finished.
  if (result[2] != code) {
    *ended = fail(text.acknowledge);
    return 0;
  }
  // 8. The page-buffer query answers with the buffer's offset in SRAM (the 3/4 family) or its
  // address (the other).
  if (code == kWriterPageBufferQuery) {
    uint32_t word = result[0] + 256u * result[1];
    return is_family34(mcu_type) ? sram_base(mcu_type) + word : word;
  }
  return 1;
}
