// SPDX-License-Identifier: Apache-2.0
// Vendor requests per second through whatever the library reaches (DNUSB_DEVICE chooses):
// one-byte ReadUSBMem round trips for about the given seconds.  Run by usbredir_bench.sh on
// the host (the simulator's socket) and in the guest (the guest kernel's USB stack).
//   usbredir_request_rate [SECONDS]     prints "requests/s N"
#include <stdio.h>
#include <stdlib.h>

#include "bench_support.h"
#include "dnusb.h"

int main(int argc, char **argv) {
  double seconds = argc > 1 ? atof(argv[1]) : 3.0;
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  if (h == 0) {
    printf("no device\n");
    return 1;
  }
  unsigned char byte = 0;
  long done = 0, failed = 0;
  double start = bench::now_ms();
  while (bench::now_ms() - start < seconds * 1000.0) {
    for (int i = 0; i < 50; ++i) (ReadUSBMem(h, 0x8010, &byte, 1, 0, 32) == 1 ? done : failed)++;
  }
  double elapsed = (bench::now_ms() - start) / 1000.0;
  printf("requests/s %.0f\n", done / elapsed);
  return failed == 0 ? 0 : 1;
}
