// Common start of the core operations and the access table for their target transfers.
#include "control/core_link.h"

#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"

namespace {
constexpr uint32_t kAnyDevice = 0xffff;
}

bool open_core_link(int mode, int mcu_type, const char *no_usb_line, const char *no_evk_line,
                    core_link *link) {
  const dn_handle_t first = GetPrintDeviceHandle(kAnyDevice);
  const dn_handle_t second = GetPrintDeviceHandle2(kAnyDevice);
  *link = core_link{0, 0, false};

  if (first == 0 && second == 0) {
    print_message("%s", no_usb_line);
    return false;
  }

  if (mode == kModeEvk) {
    // The probe test runs on the first handle; without one the probe cannot be there.
    if (first == 0 || IsEVKDevice(first) == 0) {
      print_message("%s", no_evk_line);
      return false;
    }
    const unsigned char control = probe_control_byte(mcu_type);
    WriteMem(first, kProbeControl, &control, 1, 1);
    sleep_ms(10);  // the probe needs the control byte settled before it drives Vlane
    *link = core_link{first, kModeEvk, false};
    return true;
  }

  if (mode == kModeUsb) {
    const bool long_layout = is_family34(mcu_type);
    const dn_handle_t handle = long_layout ? second : first;
    if (handle == 0) {
      print_message("%s", no_usb_line);
      return false;
    }
    *link = core_link{handle, kModeUsb, long_layout};
    return true;
  }

  // Any other mode: no transfer at all; the operation still prints its final line.
  return true;
}

int core_read(const core_link &link, uint32_t address, unsigned char *dest, int count) {
  if (link.transfer_mode == 0) return 0;
  if (link.long_layout) return ReadMem2(link.handle, address, dest, count, link.transfer_mode);
  return ReadMem(link.handle, address, dest, count, link.transfer_mode);
}

int core_write(const core_link &link, uint32_t address, const unsigned char *data, int count) {
  if (link.transfer_mode == 0) return 0;
  if (link.long_layout) return WriteMem2(link.handle, address, data, count, link.transfer_mode);
  return WriteMem(link.handle, address, data, count, link.transfer_mode);
}
