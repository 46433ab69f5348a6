// SPDX-License-Identifier: Apache-2.0
// Firmware download: a raw .bin image into flash, sector by sector and page by page through
// the resident flash writer, or into SRAM in one write after which the core is started.
#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "control/control.h"
#include "control/download_plan.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kImageBufferSize = kMaxImageSize;
constexpr uint32_t kSectorEraseLength = 4;  // the writer's length field for 'M'

// One image buffer and one plan serve both variants: only one download runs per process.
unsigned char image_buffer[kImageBufferSize];
download_plan plan;

// The lines that differ by variant: usb through WriteMem2 (types 3 and 4), usb through
// WriteMem, and evk.
struct download_lines {
  msg open_error;
  msg too_large;
  msg full_sector_write_error;
  msg last_sector_write_error;
  msg page_buffer_error;
  msg sram_write_error;
  msg run_flag_error;
  msg start_error;
};

const download_lines kUsbWriteMem2Lines = {
    msg::open_bin_file_err_138,
    msg::bin_file_too_large_143,
    msg::write_file_err_139,
    msg::write_file_err_141,
    msg::flash_page_buffer_err_144,
    msg::write_bin_file_err_146,
    msg::mcu_run_err_149,
    msg::mcu_run_err_147,
};

const download_lines kUsbWriteMemLines = {
    msg::open_bin_file_err_138,
    msg::bin_file_too_large_143,
    msg::write_file_err_140,
    msg::write_file_err_142,
    msg::flash_page_buffer_err_144,
    msg::write_bin_file_err_148,
    msg::mcu_run_err_149,
    msg::mcu_run_err_150,
};

const download_lines kEvkLines = {
    msg::open_bin_file_err_151,
    msg::bin_file_too_large_153,
    msg::write_file_err_151,
    msg::write_file_err_152,
    msg::flash_page_buffer_err_154,
    msg::write_file_err_155,
    msg::mcu_run_err_156,
    msg::mcu_run_err_157,
};

struct download_target {
  dn_handle_t handle;
  int mode;
  int mcu_type;
  target_route route;  // data writes: WriteMem2 (usb, types 3 and 4) or WriteMem
  const download_lines *lines;
};

bool erase_sector(const download_target &t, uint32_t sector_address) {
  return flash_writer_command(t.handle, kWriterSectorErase, t.mode, t.mcu_type, sector_address,
                              kSectorEraseLength) != 0;
}

// The writer's page buffer lies in SRAM, never at address 0, so 0 can only mean the query
// failed; writing page data there would land in the register space.
uint32_t query_page_buffer(const download_target &t) {
  return flash_writer_command(t.handle, kWriterPageBufferQuery, t.mode, t.mcu_type, 0, 0);
}

bool program_page(const download_target &t, uint32_t flash_address, uint32_t length) {
  return flash_writer_command(t.handle, kWriterPageProgram, t.mode, t.mcu_type, flash_address,
                              length) != 0;
}

bool write_page_data(const download_target &t, uint32_t page_buffer, uint32_t image_offset,
                     uint32_t length) {
  int written = route_write(t.route, page_buffer, image_buffer + image_offset,
                            static_cast<int>(length));
  return written == static_cast<int>(length);
}

void print_summary(uint32_t address, uint32_t size, uint32_t start_ms) {
  uint32_t elapsed = clock_ms() - start_ms;
  say(msg::download_summary, address, static_cast<int>(size));
  say(msg::total_time, static_cast<int>(elapsed));
}

// Carries out the plan: per sector an erase, the page-buffer query, then per page its data
// and the program command.  Ends with the first failure, or with kDone.
outcome download_to_flash(const download_target &t, uint32_t address, uint32_t size) {
  uint32_t start_ms = clock_ms();
  plan_flash_download(address, size, &plan);
  outcome first_failure = kDone;
  // A failure the download goes on after (outside the last sector); the first one is the
  // download's outcome.
  auto note = [&first_failure](outcome failure) {
    if (first_failure == kDone) first_failure = failure;
  };
  for (uint32_t s = 0; s < plan.sector_count; ++s) {
    const sector_step &sector = plan.sectors[s];
    if (!erase_sector(t, sector.address)) {
      const outcome failed = fail(msg::download_sector_erase_error, sector.address);
      if (sector.last) return failed;
      note(failed);
      continue;
    }
    say(msg::download_sector_erased, sector.address);
    uint32_t page_buffer = query_page_buffer(t);
    if (page_buffer == 0) return fail(t.lines->page_buffer_error);
    for (uint32_t k = 0; k < sector.page_count; ++k) {
      const page_step &page = plan.pages[sector.first_page + k];
      if (!write_page_data(t, page_buffer, page.image_offset, page.length))
        return fail(sector.last ? t.lines->last_sector_write_error
                                : t.lines->full_sector_write_error);
      if (!program_page(t, page.flash_address, page.length)) {
        const outcome failed = fail(msg::download_page_error, page.flash_address);
        if (sector.last) return failed;
        note(failed);
        continue;
      }
      if (page.announced) say(msg::download_page_programmed, page.flash_address);
    }
  }
  // An empty image has no sector to erase: the flash stays as it is and 0 bytes are reported.
  print_summary(address, size, start_ms);
  return first_failure;
}

outcome download_to_sram(const download_target &t, uint32_t address, uint32_t size) {
  unsigned char start = start_byte(t.mcu_type);
  uint32_t start_ms = clock_ms();
  int count = static_cast<int>(size);
  if (route_write(t.route, address, image_buffer, count) != count)
    return fail(t.lines->sram_write_error);
  // Type 1 is outside the 3/4 family, so in usb mode this goes through WriteMem.
  if (needs_start_flag(t.mcu_type) && route_write_byte(t.route, kType1StartFlag, 0x01) != 1)
    return fail(t.lines->run_flag_error);
  if (route_write_byte(t.route, kCoreControl, start) != 1) return fail(t.lines->start_error);
  uint32_t elapsed = clock_ms() - start_ms;
  say(msg::download_summary, address, count);
  say(msg::sram_download_total_time, static_cast<int>(elapsed));
  return kDone;
}

// Reads the whole file into the zero-filled image buffer.  Files that do not fit are refused
// before anything is read.
outcome read_image(const download_target &t, const char *path, uint32_t *size) {
  // Only a regular file is an image: a folder, a FIFO (whose open would wait for a writer) or
  // a device such as /dev/zero is refused like a missing file.
  std::FILE *file = path != nullptr ? open_input_file(path) : nullptr;
  if (file == nullptr) return fail(t.lines->open_error);
  if (std::fseek(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    return fail(t.lines->open_error);
  }
  long length = std::ftell(file);
  if (length < 0 || static_cast<unsigned long>(length) > kImageBufferSize) {
    std::fclose(file);
    return fail(t.lines->too_large);
  }
  std::fseek(file, 0, SEEK_SET);
  *size = static_cast<uint32_t>(length);
  std::fread(image_buffer, 1, *size, file);
  std::fclose(file);
  return kDone;
}

outcome run_download(const download_target &t, uint32_t address, int target_kind,
                     const char *path) {
  std::memset(image_buffer, 0, sizeof image_buffer);
  // The writer is loaded for SRAM downloads too.
  if (const outcome o = load_flash_writer(t.handle, t.mcu_type, t.mode); o != kDone) return o;
  uint32_t size = 0;
  if (const outcome o = read_image(t, path, &size); o != kDone) return o;
  if (target_kind == kTargetFlash) return download_to_flash(t, address, size);
  if (target_kind == kTargetSram) return download_to_sram(t, address, size);
  return kDone;  // the grammars pass only the two target kinds
}

}  // namespace

outcome download_image(int mode, int mcu_type, uint32_t address, int target_kind,
                       const char *path) {
  // Another mode code (the numeric grammar passes any): nothing is done and nothing printed.
  if (mode != kModeUsb && mode != kModeEvk) return kDone;
  dn_handle_t handle = open_target_handle(mode, mcu_type);
  download_target target = {handle, mode, mcu_type, make_route(handle, mode, mcu_type),
                            &kEvkLines};
  if (mode == kModeUsb) {
    if (is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
    if (!usb_device_present(handle)) return fail(msg::no_usb_device_137);
    target.lines = target.route.long_layout ? &kUsbWriteMem2Lines : &kUsbWriteMemLines;
  }
  return run_download(target, address, target_kind, path);
}
