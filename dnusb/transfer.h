// SPDX-License-Identifier: Apache-2.0
// The vendor-request transfers, written once for both request layouts.  The exports of
// dnusb.h are thin wrappers that pick the layout; the mailbox, routed memory access and
// device search call these directly.
#ifndef DNUSB_TRANSFER_H
#define DNUSB_TRANSFER_H

#include "dnusb.h"

// Short layout: 16-bit device address (exports without suffix).  Long layout: 22-bit
// device address (exports with the suffix 2).
enum dn_layout { kShortLayout, kLongLayout };

// A vendor write request is assembled in 4096 bytes: 8 header bytes and at most 4088 data
// bytes.  Reads are held to the same data size (see usb_transfer.cpp).
constexpr int kDnRequestBuffer = 4096;
constexpr int kDnMaxRequestData = kDnRequestBuffer - 8;
constexpr int kDnWriteHeader = 8;
constexpr int kDnReadHeader = 16;

// Bytes 0 to 2 of a request header: request code and device address in the layout's
// encoding; the fixed-address flag selects code 3 (short) or bit 6 of byte 0 (long).
void dn_encode_address(unsigned char *header, dn_layout layout, int address, bool fixed);

int dn_plain_write(dn_handle_t handle, dn_layout layout, int address,
                   const unsigned char *data, int count, int fixed, int chunk_limit);
int dn_plain_read(dn_handle_t handle, dn_layout layout, int address, unsigned char *dest,
                  int count, int fixed, int chunk_limit);
int dn_retrying_read(dn_handle_t handle, dn_layout layout, int address, unsigned char *dest,
                     int count, int fixed, int chunk_limit);
int dn_write_read_back(dn_handle_t handle, dn_layout layout, int address,
                       const unsigned char *data, int count, int fixed, int chunk_limit);

int dn_evk_command(dn_handle_t handle, dn_layout layout, uint32_t word0, uint32_t count,
                   uint32_t code, uint32_t *result);

#endif
