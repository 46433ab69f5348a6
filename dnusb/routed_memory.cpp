// SPDX-License-Identifier: Apache-2.0
// ReadMem / WriteMem and their long-address twins: target memory in chunks, either directly
// on the attached device or through an EVK probe's staging buffer and mailbox.
//
// Transfer mode: the low four bits choose the route (4 = EVK, anything else = direct); bit
// 0x200 keeps every chunk on the one given address and passes the fixed-address flag to the
// data transfers (never to the mailbox traffic).
#include "dnusb.h"
#include "transfer.h"

namespace {

constexpr int kWriteChunk = 1024;
constexpr int kReadChunk = 3072;
constexpr int kStagingBuffer = 0xa000;
constexpr uint32_t kEvkWrite = 0x4100;
constexpr uint32_t kEvkRead = 0xC100;
constexpr int kFixedAddressMode = 0x200;

bool evk_route(int mode) { return (mode & 0xF) == 4; }

uint32_t base_address(dn_layout layout, uint32_t address) {
  // The short-layout exports take 24 address bits; the long ones the address unchanged.
  return layout == kShortLayout ? (address & 0xFFFFFFu) : address;
}

uint32_t chunk_address(uint32_t base, int offset, int mode) {
  return (mode & kFixedAddressMode) != 0 ? base : base + static_cast<uint32_t>(offset);
}

int write_memory(dn_handle_t handle, dn_layout layout, uint32_t address,
                 const unsigned char *data, int count, int mode) {
  if (count <= 0 || data == nullptr) return 0;
  uint32_t base = base_address(layout, address);
  int fixed = (mode & kFixedAddressMode) != 0 ? 1 : 0;
  int total = 0;
  int chunk = 0;
  // offset + chunk never exceeds count, so the walk cannot overflow.
  for (int offset = 0; offset < count; offset += chunk) {
    chunk = count - offset < kWriteChunk ? count - offset : kWriteChunk;
    uint32_t at = chunk_address(base, offset, mode);
    int done;
    if (!evk_route(mode)) {
      done = dn_write_read_back(handle, layout, static_cast<int>(at), data + offset, chunk,
                                fixed, kWriteChunk);
    } else {
      // Into the probe's staging buffer, then the probe carries it to the target.
      if (dn_plain_write(handle, layout, kStagingBuffer, data + offset, chunk, fixed,
                         kWriteChunk) != chunk) {
        break;
      }
      done = dn_evk_command(handle, layout, at, static_cast<uint32_t>(chunk), kEvkWrite,
                            nullptr);
    }
    if (done == 0) break;  // a write stops at its first failed chunk
    total += done;
  }
  return total;
}

int read_memory(dn_handle_t handle, dn_layout layout, uint32_t address, unsigned char *dest,
                int count, int mode) {
  if (count <= 0 || dest == nullptr) return 0;
  uint32_t base = base_address(layout, address);
  int fixed = (mode & kFixedAddressMode) != 0 ? 1 : 0;
  int total = 0;
  int chunk = 0;
  // offset + chunk never exceeds count, so the walk cannot overflow.
  for (int offset = 0; offset < count; offset += chunk) {
    chunk = count - offset < kReadChunk ? count - offset : kReadChunk;
    uint32_t at = chunk_address(base, offset, mode);
    int done;
    if (!evk_route(mode)) {
      done = dn_retrying_read(handle, layout, static_cast<int>(at), dest + offset, chunk, fixed,
                              kReadChunk);
    } else {
      // The probe fetches the chunk into its staging buffer, then it is read from there.
      if (dn_evk_command(handle, layout, at, static_cast<uint32_t>(chunk), kEvkRead,
                         nullptr) != chunk) {
        break;
      }
      done = dn_retrying_read(handle, layout, kStagingBuffer, dest + offset, chunk, fixed,
                              kReadChunk);
    }
    total += done;  // a failed read chunk adds 0 and the read goes on
  }
  return total;
}

}  // namespace

extern "C" {

int DNUSB_CALL WriteMem(dn_handle_t handle, uint32_t address, const unsigned char *data,
                        int count, int mode) {
  return write_memory(handle, kShortLayout, address, data, count, mode);
}

int DNUSB_CALL WriteMem2(dn_handle_t handle, uint32_t address, const unsigned char *data,
                         int count, int mode) {
  return write_memory(handle, kLongLayout, address, data, count, mode);
}

int DNUSB_CALL ReadMem(dn_handle_t handle, uint32_t address, unsigned char *dest, int count,
                       int mode) {
  return read_memory(handle, kShortLayout, address, dest, count, mode);
}

int DNUSB_CALL ReadMem2(dn_handle_t handle, uint32_t address, unsigned char *dest, int count,
                        int mode) {
  return read_memory(handle, kLongLayout, address, dest, count, mode);
}

}  // extern "C"
