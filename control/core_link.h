// The way run control and the program-counter read reach the target core: the device
// handles, the evk set-up, and the access table (which handle, which exports, which
// transfer mode).
#ifndef ORVANE_CONTROL_CORE_LINK_H
#define ORVANE_CONTROL_CORE_LINK_H

#include <cstdint>

#include "dnusb.h"

struct core_link {
  dn_handle_t handle;  // handle the target transfers go through
  int transfer_mode;   // 1 direct, 4 over Vlane, 0: a mode that makes no transfer at all
  bool long_layout;    // usb mode, MCU types 3 and 4: ReadMem2/WriteMem2 on the second handle
};

// Common start of the core operations: requests the first and the second handle (in this
// order), checks for a device and, in evk mode, for an EVK probe, then writes the probe
// control byte and sleeps 10 ms.  On refusal prints the given line and returns false.
//
// In usb mode a device counts as present only when the handle the MCU type uses is
// non-zero: a lone handle of the other kind is reported with no_usb_line, so no transfer is
// ever sent to handle 0.
bool open_core_link(int mode, int mcu_type, const char *no_usb_line, const char *no_evk_line,
                    core_link *link);

// Target transfers per the access table; the results are the exports' byte counts (0 for a
// mode that makes no transfer).
int core_read(const core_link &link, uint32_t address, unsigned char *dest, int count);
int core_write(const core_link &link, uint32_t address, const unsigned char *data, int count);

#endif
