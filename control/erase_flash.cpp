// SPDX-License-Identifier: Apache-2.0
// Flash erase: a run of 4 KB sectors, one sector erase command through the flash writer each.
#include "base/console.h"
#include "base/platform.h"
#include "control/control.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kSectorEraseLength = 4;  // the writer's length field for 'M'

}  // namespace

outcome erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count) {
  // Another mode code (the numeric grammar passes any): nothing is done and nothing printed.
  if (mode != kModeUsb && mode != kModeEvk) return kDone;
  dn_handle_t handle = open_target_handle(mode, mcu_type);
  // In evk mode a missing probe is reported by the loader.
  if (mode == kModeUsb && is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
  if (mode == kModeUsb && !usb_device_present(handle)) return fail(msg::no_usb_device_179);
  if (const outcome o = load_flash_writer(handle, mcu_type, mode); o != kDone) return o;
  uint32_t start_ms = clock_ms();
  for (uint32_t i = 0; i < sector_count; ++i) {
    uint32_t sector_address = address + i * kSectorSize;
    if (flash_writer_command(handle, kWriterSectorErase, mode, mcu_type, sector_address,
                             kSectorEraseLength) == 0) {
      // Sectors erased before this one stay erased; later ones are not touched.
      return fail(msg::erase_sector_error, sector_address);
    }
    say(msg::erase_sector_erased, sector_address);
  }
  say(msg::total_time, static_cast<int>(clock_ms() - start_ms));
  return kDone;
}
