// SPDX-License-Identifier: Apache-2.0
/* Programs one flash page of a ZK32 chip attached directly over USB and reads it back,
 * with the byte primitives of libdnusb.  Without hardware, start a simulated chip first:
 *
 *     zk32-sim start --mode usb --type 1
 *     cc flash_page.c $(pkg-config --cflags --libs dnusb) -o flash_page && ./flash_page
 *
 * Exit code: 0 when the page reads back as written, 1 otherwise.  The flash sector at
 * 0x1000 is erased on the way. */
#include <dnusb.h>
#include <stdio.h>
#include <string.h>

enum { kSector = 0x1000, kPage = 256 };

int main(void) {
  dn_handle_t h = GetPrintDeviceHandle(0xffff); /* any ZK32 device */
  if (h == 0) {
    fprintf(stderr, "no ZK32 device found (dnusb-list says why)\n");
    return 1;
  }
  if (IsEVKDevice(h) == 4) {
    fprintf(stderr, "an EVK probe: the byte primitives need a chip attached directly\n");
    return 1;
  }
  unsigned char identity[4] = {0, 0, 0, 0};
  ReadMem(h, 0x7e, identity, 4, 1);
  printf("device: %s, identity %02x%02x\n",
         (h & DN_HANDLE_SIMULATED) ? "simulated chip" : "chip on USB", identity[1], identity[0]);

  unsigned char page[kPage], back[kPage];
  for (int i = 0; i < kPage; ++i) page[i] = (unsigned char)(i * 7 + 1);
  /* None of these report a failed transfer: the read-back is the check. */
  dn_flash_erase(h, kSector);
  dn_flash_write(h, kSector, page, kPage);
  dn_flash_read(h, kSector, back, kPage);
  /* The core stays held in reset: "orvane CHIP rst -u" lets the firmware start again. */

  if (memcmp(page, back, kPage) != 0) {
    printf("flash page at 0x%x differs after programming\n", kSector);
    return 1;
  }
  printf("flash page at 0x%x programmed and read back: %d bytes identical\n", kSector, kPage);
  return 0;
}
