// SPDX-License-Identifier: Apache-2.0
// Vendor write and read requests: request headers in both layouts, the plain transfers, the
// retrying read, the write with read-back, register access and the data-in stream.
//
// Safe limits chosen here:
//  - one request carries at most 4088 data bytes, write or read: a write is assembled in a
//    4096-byte buffer, and a read is received into a 4096-byte staging area (data plus the
//    8 bytes of slack the output size offers) and only the data part is copied to the
//    destination, so a reply longer than asked for never lands past the caller's buffer;
//  - a negative count or chunk limit moves nothing;
//  - a missing data or destination pointer with something to move sends nothing and gives 0.
#include <string.h>

#include "dnusb.h"
#include "port.h"
#include "transfer.h"

namespace {

// Held to what one request can carry.
int within_request(int n) {
  if (n < 0) return 0;
  return n > kDnMaxRequestData ? kDnMaxRequestData : n;
}

// The number a write sends: the count, or the chunk limit when the count is larger.
int write_size(int count, int chunk_limit) {
  return within_request(count > chunk_limit ? chunk_limit : count);
}

// A read asks for the chunk limit when the count is larger, else the count raised to 1.
int read_size(int count, int chunk_limit) {
  return within_request(count > chunk_limit ? chunk_limit : (count < 1 ? 1 : count));
}

// The 16-byte read header: code and address, then the destination's first byte as found
// before the read.  Bytes 4 to 15 carry nothing and stay 0.
void build_read_header(unsigned char header[kDnReadHeader], dn_layout layout, int address,
                       int fixed, const unsigned char *dest) {
  memset(header, 0, kDnReadHeader);
  dn_encode_address(header, layout, address, fixed != 0);
  header[3] = dest[0];
}

}  // namespace

void dn_encode_address(unsigned char *header, dn_layout layout, int address, bool fixed) {
  uint32_t a = static_cast<uint32_t>(address);
  if (layout == kShortLayout) {
    header[0] = fixed ? 0x03 : 0x02;
    header[1] = static_cast<unsigned char>(a >> 8);   // address bits 15..8
    header[2] = static_cast<unsigned char>(a);        // address bits 7..0
  } else {
    header[0] = static_cast<unsigned char>(0x80 | (fixed ? 0x40 : 0x00) | ((a >> 16) & 0x3F));
    header[1] = static_cast<unsigned char>(a);        // address bits 7..0
    header[2] = static_cast<unsigned char>(a >> 8);   // address bits 15..8
  }
}

int dn_plain_write(dn_handle_t handle, dn_layout layout, int address,
                   const unsigned char *data, int count, int fixed, int chunk_limit) {
  int n = write_size(count, chunk_limit);
  if (data == nullptr && n > 0) return 0;
  unsigned char request[kDnRequestBuffer];
  dn_encode_address(request, layout, address, fixed != 0);
  // Bytes 3 to 7 repeat the first data byte, which is taken even for an empty write.
  unsigned char first = data != nullptr ? data[0] : 0;
  memset(request + 3, first, 5);
  if (n > 0) memcpy(request + kDnWriteHeader, data, static_cast<size_t>(n));
  // The byte count the driver reports for a write is not examined.
  if (!dn_vendor_set(handle, request, static_cast<uint32_t>(n + kDnWriteHeader))) return 0;
  return n;
}

int dn_plain_read(dn_handle_t handle, dn_layout layout, int address, unsigned char *dest,
                  int count, int fixed, int chunk_limit) {
  if (dest == nullptr) return 0;
  int n = read_size(count, chunk_limit);
  unsigned char header[kDnReadHeader];
  build_read_header(header, layout, address, fixed, dest);
  unsigned char staging[kDnRequestBuffer];
  uint32_t got = 0;
  bool ok = dn_vendor_get(handle, header, kDnReadHeader, staging,
                          static_cast<uint32_t>(n + 8), &got);
  // Whatever arrived lands in the destination, but never more than it holds.
  uint32_t keep = got < static_cast<uint32_t>(n) ? got : static_cast<uint32_t>(n);
  memcpy(dest, staging, keep);
  return ok && got == static_cast<uint32_t>(n) ? n : 0;
}

int dn_retrying_read(dn_handle_t handle, dn_layout layout, int address, unsigned char *dest,
                     int count, int fixed, int chunk_limit) {
  if (dest == nullptr) return 0;
  int n = read_size(count, chunk_limit);
  int outstanding = n + 8;  // output size offered: the bytes still wanted plus 8
  int attempts = (n + 16) / 4;
  unsigned char header[kDnReadHeader];
  build_read_header(header, layout, address, fixed, dest);
  unsigned char staging[kDnRequestBuffer];
  unsigned char *cursor = dest;
  while (attempts > 0 && outstanding > 0) {
    --attempts;
    int wanted = outstanding - 8;
    uint32_t got = 0;
    bool ok = dn_vendor_get(handle, header, kDnReadHeader, staging,
                            static_cast<uint32_t>(outstanding), &got);
    if (ok && got == static_cast<uint32_t>(wanted)) {
      memcpy(cursor, staging, static_cast<size_t>(wanted));
      return count;  // the count exactly as given, not n
    }
    // A partial reply: keep its bytes and ask for the rest at the advanced address.  A
    // reply longer than the rest is malformed; it counts as a wasted attempt.
    int taken = ok && got < static_cast<uint32_t>(wanted) ? static_cast<int>(got) : 0;
    memcpy(cursor, staging, static_cast<size_t>(taken));
    cursor += taken;
    address += taken;
    outstanding -= taken;
    // Byte 3 keeps its first value; only code and address are encoded again.
    dn_encode_address(header, layout, address, fixed != 0);
  }
  return 0;
}

int dn_write_read_back(dn_handle_t handle, dn_layout layout, int address,
                       const unsigned char *data, int count, int fixed, int chunk_limit) {
  int written = dn_plain_write(handle, layout, address, data, count, fixed, chunk_limit);
  if (count > 8) {
    // The bytes read back are not compared: callers rely on the write's count alone.
    unsigned char scratch[kDnRequestBuffer];
    scratch[0] = 0;
    dn_retrying_read(handle, layout, address, scratch, count, fixed, chunk_limit);
  }
  return written;
}

// --- Exports -------------------------------------------------------------------------------

namespace {

int write_reg(dn_handle_t handle, dn_layout layout, int address, int value) {
  unsigned char byte = static_cast<unsigned char>(value & 0xFF);
  return dn_plain_write(handle, layout, address, &byte, 1, 0, 32) == 1 ? 1 : 0;
}

int read_reg(dn_handle_t handle, dn_layout layout, int address, uint32_t *result) {
  unsigned char byte = 0;
  int ok = dn_plain_read(handle, layout, address, &byte, 1, 0, 32) == 1 ? 1 : 0;
  // Stored also after a failure, when it means nothing.
  if (result != nullptr) *result = byte;
  return ok;
}

}  // namespace

extern "C" {

int DNUSB_CALL WriteUSBMem(dn_handle_t handle, int address, const unsigned char *data,
                           int count, int fixed, int chunk_limit) {
  return dn_plain_write(handle, kShortLayout, address, data, count, fixed, chunk_limit);
}

int DNUSB_CALL WriteUSBMem2(dn_handle_t handle, int address, const unsigned char *data,
                            int count, int fixed, int chunk_limit) {
  return dn_plain_write(handle, kLongLayout, address, data, count, fixed, chunk_limit);
}

int DNUSB_CALL ReadUSBMem(dn_handle_t handle, int address, unsigned char *dest, int count,
                          int fixed, int chunk_limit) {
  return dn_plain_read(handle, kShortLayout, address, dest, count, fixed, chunk_limit);
}

int DNUSB_CALL ReadUSBMem2(dn_handle_t handle, int address, unsigned char *dest, int count,
                           int fixed, int chunk_limit) {
  return dn_plain_read(handle, kLongLayout, address, dest, count, fixed, chunk_limit);
}

int DNUSB_CALL ReadUSBMemCheck(dn_handle_t handle, int address, unsigned char *dest,
                               int count, int fixed, int chunk_limit) {
  return dn_retrying_read(handle, kShortLayout, address, dest, count, fixed, chunk_limit);
}

int DNUSB_CALL ReadUSBMemCheck2(dn_handle_t handle, int address, unsigned char *dest,
                                int count, int fixed, int chunk_limit) {
  return dn_retrying_read(handle, kLongLayout, address, dest, count, fixed, chunk_limit);
}

int DNUSB_CALL WriteUSBMemCheck(dn_handle_t handle, int address, const unsigned char *data,
                                int count, int fixed, int chunk_limit) {
  return dn_write_read_back(handle, kShortLayout, address, data, count, fixed, chunk_limit);
}

int DNUSB_CALL WriteUSBMemCheck2(dn_handle_t handle, int address, const unsigned char *data,
                                 int count, int fixed, int chunk_limit) {
  return dn_write_read_back(handle, kLongLayout, address, data, count, fixed, chunk_limit);
}

int DNUSB_CALL WriteUSBReg(dn_handle_t handle, int address, int value) {
  return write_reg(handle, kShortLayout, address, value);
}

int DNUSB_CALL WriteUSBReg2(dn_handle_t handle, int address, int value) {
  return write_reg(handle, kLongLayout, address, value);
}

int DNUSB_CALL ReadUSBReg(dn_handle_t handle, int address, uint32_t *result) {
  return read_reg(handle, kShortLayout, address, result);
}

int DNUSB_CALL ReadUSBReg2(dn_handle_t handle, int address, uint32_t *result) {
  return read_reg(handle, kLongLayout, address, result);
}

int DNUSB_CALL ReadUartMem(dn_handle_t handle, unsigned char *buffer) {
  if (buffer == nullptr) return -1;
  return dn_read_stream(handle, buffer, 2048);
}

}  // extern "C"
