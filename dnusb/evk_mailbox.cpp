// SPDX-License-Identifier: Apache-2.0
// EVKCommand: one probe command through the EVK mailbox in the probe's own memory.
//
//   0x9ff0 completion word  (probe: the command's count when done; bits 31..28 = failure)
//   0x9ff4 probe status word (probe: the value the command hands back)
//   0x9ff8 command word 0   (target address or parameter)
//   0x9ffc command word 1   (bits 31..16 command code, bits 15..0 count)
//
// The probe control byte 0x9fff is the last byte of the command block, so the probe sees a
// complete block when it sees that byte.  The library never clears the completion word: the
// probe replaces an old one when it takes a new block.
#include <atomic>
#include <cstddef>

#include "wire/byte_order.h"
#include "clock.h"
#include "dnusb.h"
#include "poll_pacing.h"
#include "transfer.h"

namespace {

constexpr int kReplyBlock = 0x9ff0;
constexpr int kCommandBlock = 0x9ff8;
constexpr int kMailboxChunk = 1024;
constexpr uint32_t kTimeoutMs = 1000;
constexpr uint32_t kFailureBits = 0xF0000000u;

// How long a command of each kind took last time (poll_pacing.h).  The probe's commands differ
// widely (a one-byte Vlane read against a page written over Vlane), so the time is kept per
// kind: the command word with its count.  A few slots, shared by every handle and thread; a
// slot taken over by another kind or a stale value only changes a pause.
constexpr std::size_t kPaceSlots = 16;
std::atomic<uint64_t> recent_took[kPaceSlots] = {};

std::size_t pace_slot(uint32_t kind) { return (kind ^ kind >> 7 ^ kind >> 16) % kPaceSlots; }

uint32_t expected_us(uint32_t kind) {
  const uint64_t entry = recent_took[pace_slot(kind)].load(std::memory_order_relaxed);
  return static_cast<uint32_t>(entry >> 32) == kind ? static_cast<uint32_t>(entry) : 0;
}

void note_took(uint32_t kind, uint32_t took_us) {
  recent_took[pace_slot(kind)].store(uint64_t{kind} << 32 | took_us, std::memory_order_relaxed);
}

}  // namespace

int dn_evk_command(dn_handle_t handle, dn_layout layout, uint32_t word0, uint32_t count,
                   uint32_t code, uint32_t *result) {
  // 1. The command block; only the low 16 bits of code and count reach the probe.
  unsigned char block[8];
  store_le32(block, word0);
  store_le32(block + 4, (code & 0xFFFFu) << 16 | (count & 0xFFFFu));

  // 2. One plain write of the block, no fixed-address flag.
  if (dn_plain_write(handle, layout, kCommandBlock, block, 8, 0, kMailboxChunk) == 0) return 0;

  // 3. to 7. Poll the reply block, pausing briefly between polls, until the completion word
  // equals the whole count, reports a failure, or a second has passed.
  uint32_t start = dn_tick_count();
  const uint64_t start_us = dn_monotonic_us();
  const uint32_t kind = load_le32(block + 4);
  const uint32_t expected = expected_us(kind);
  for (;;) {
    unsigned char reply[16] = {0};
    if (dn_retrying_read(handle, layout, kReplyBlock, reply, 16, 0, kMailboxChunk) != 0) {
      uint32_t completion = load_le32(reply);
      if ((completion & kFailureBits) != 0) return 0;
      if (completion == count) {
        note_took(kind, static_cast<uint32_t>(dn_monotonic_us() - start_us));
        if (result != nullptr) *result = load_le32(reply + 4);
        return static_cast<int>(count);
      }
    }
    if (static_cast<uint32_t>(dn_tick_count() - start) >= kTimeoutMs) return 0;
    uint64_t elapsed = dn_monotonic_us() - start_us;
    dn_pause_us(dn_poll_pause_us(elapsed > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(elapsed), expected));
  }
}

extern "C" {

int DNUSB_CALL EVKCommand(dn_handle_t handle, uint32_t word0, uint32_t count, uint32_t code,
                          void * /*unused*/, uint32_t *result) {
  return dn_evk_command(handle, kShortLayout, word0, count, code, result);
}

int DNUSB_CALL EVKCommand2(dn_handle_t handle, uint32_t word0, uint32_t count, uint32_t code,
                           void * /*unused*/, uint32_t *result) {
  return dn_evk_command(handle, kLongLayout, word0, count, code, result);
}

}  // extern "C"
