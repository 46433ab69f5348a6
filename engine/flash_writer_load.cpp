// SPDX-License-Identifier: Apache-2.0
// Loading the flash writer: read its image file, reset the core, write the image to the SRAM
// base and start the core on it, over USB directly or through the EVK probe over Vlane.
#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "base/state.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

constexpr long kWriterImageSize = 8192;
unsigned char writer_image[kWriterImageSize];

constexpr int kResetAttempts = 3;  // the bits must show within three attempts
constexpr int kLinkAttempts = 3;
constexpr unsigned char kLinkTestValue = 0xab;

enum class image_result { ok, cannot_open, too_large };

// The simulator's flash writers begin with this tag (sim/writer_image.h).  They run only on the
// simulated core: started on a real chip they would be random code in its SRAM.
constexpr unsigned char kSimulatorWriterTag[4] = {'Z', 'K', 'F', 'W'};

bool is_simulator_writer(long length) {
  return length >= 4 && std::memcmp(writer_image, kSimulatorWriterTag, 4) == 0;
}

// Reads the writer file (program directory + writer_path) whole into the zero-filled image
// buffer.  A file that cannot be read completely counts as one that cannot be opened.
image_result read_writer_image(long *length) {
  std::memset(writer_image, 0, sizeof writer_image);
  char directory[kPathSize];
  char path[2 * kPathSize];
  if (!program_directory(directory, sizeof directory)) return image_result::cannot_open;
  std::snprintf(path, sizeof path, "%s%s", directory, writer_path);
  // An empty writer_path (a numeric row after the last filled one) names the directory
  // itself: only a regular file is a writer image.
  std::FILE *file = open_native_input_file(path);
  if (file == nullptr) return image_result::cannot_open;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (size < 0) {
    std::fclose(file);
    return image_result::cannot_open;
  }
  if (size > kWriterImageSize) {
    std::fclose(file);
    return image_result::too_large;
  }
  size_t got = std::fread(writer_image, 1, static_cast<size_t>(size), file);
  std::fclose(file);
  if (got != static_cast<size_t>(size)) return image_result::cannot_open;
  *length = size;
  return image_result::ok;
}

// Writes the reset request to the core control register and reads it back until both its
// bits are set.
// The read-back of the attempt that raises the count to four is not examined, so the bits
// must appear within three attempts while four write/read pairs go out before the failure.
bool request_reset(const target_route &route, unsigned char read_back) {
  int attempts = 0;
  while ((read_back & kCoreResetRequest) != kCoreResetRequest) {
    route_write_byte(route, kCoreControl, kCoreResetRequest);
    route_read(route, kCoreControl, &read_back, 1);
    ++attempts;
    if (attempts > kResetAttempts) return false;
  }
  return true;
}

// Vlane link check: a test value written to SRAM base + 4 must read back unchanged.  Leaves
// the last byte read in *read_back; the reset request starts from it.
bool check_vlane_link(const target_route &route, int mcu_type, unsigned char *read_back) {
  int attempts = 0;
  *read_back = 0;
  while (*read_back != kLinkTestValue) {
    EVKCommand(route.handle, 0, 1, 0x0700, nullptr, nullptr);
    EVKCommand(route.handle, 0, 1, 0x0700, nullptr, nullptr);
    EVKCommand(route.handle, 0xb2, 1, 0x8100, nullptr, nullptr);
    route_write_byte(route, sram_base(mcu_type) + 4, kLinkTestValue);
    route_read(route, sram_base(mcu_type) + 4, read_back, 1);
    ++attempts;
    if (attempts > kLinkAttempts) return false;
  }
  return true;
}

// The first count set-up writes, results not looked at.
void write_loader_setup(const target_route &route, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    route_write_byte(route, kLoaderSetup[i].address, kLoaderSetup[i].value);
}

outcome load_over_usb(dn_handle_t handle, int mcu_type, long image_length) {
  target_route route = make_route(handle, kModeUsb, mcu_type);
  bool family34 = is_family34(mcu_type);
  if (!request_reset(route, 0)) return fail(msg::zk32_usb_usb_err_125);
  say(msg::writer_loaded_usb);
  write_loader_setup(route, sizeof kLoaderSetup / sizeof kLoaderSetup[0]);
  int count = static_cast<int>(image_length);
  if (route_write(route, sram_base(mcu_type), writer_image, count) != count)
    return fail(family34 ? msg::write_file_err_126 : msg::write_file_err_128);
  if (needs_start_flag(mcu_type)) route_write_byte(route, kType1StartFlag, 0x01);
  if (route_write_byte(route, kCoreControl, start_byte(mcu_type)) == 1) return kDone;
  return fail(family34 ? msg::start_mcu_err_127 : msg::start_mcu_err_129);
}

outcome load_over_evk(dn_handle_t handle, int mcu_type, long image_length) {
  target_route route = make_route(handle, kModeEvk, mcu_type);
  if (!prepare_probe(handle, mcu_type)) return fail(msg::no_evk_device_130);
  unsigned char read_back = 0;
  if (!check_vlane_link(route, mcu_type, &read_back)) return fail(msg::zk32_evk_vlane_err_131);
  if (!request_reset(route, read_back)) return fail(msg::reset_mcu_err_132);
  say(msg::writer_loaded_evk);
  write_loader_setup(route, kLoaderSetupOverVlane);
  int count = static_cast<int>(image_length);
  if (route_write(route, sram_base(mcu_type), writer_image, count) != count)
    return fail(is_family34(mcu_type) ? msg::write_file_err_133 : msg::write_file_err_134);
  if (needs_start_flag(mcu_type)) route_write_byte(route, kType1StartFlag, 0x01);
  if (route_write_byte(route, kCoreControl, start_byte(mcu_type)) == 1) return kDone;
  return fail(msg::start_mcu_err_135);
}

}  // namespace

outcome load_flash_writer(dn_handle_t handle, int mcu_type, int mode) {
  long image_length = 0;
  switch (read_writer_image(&image_length)) {
    case image_result::cannot_open:
      return fail(msg::open_sram_file_err_124);
    case image_result::too_large:
      // The writer runs from an 8 KB buffer; a larger file is not a flash writer of ours.
      return fail(msg::flash_writer_file_too_large_180);
    case image_result::ok:
      break;
  }
  // Refused before the core is touched: nothing has been written to the chip.  Without a
  // device (handle 0) the load goes on to report that, as for any image.
  if (is_simulator_writer(image_length) && handle != 0 && (handle & DN_HANDLE_SIMULATED) == 0)
    return fail(msg::writer_for_simulator_181);
  // Callers pass only the two mode codes.
  if (mode == kModeUsb) return load_over_usb(handle, mcu_type, image_length);
  return load_over_evk(handle, mcu_type, image_length);
}
