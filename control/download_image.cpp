// Firmware download: a raw .bin image into flash, sector by sector and page by page through
// the resident flash writer, or into SRAM in one write after which the core is started.
#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "control/control.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kImageBufferSize = 1048576;
constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kPagesPerSector = kSectorSize / kPageSize;
constexpr uint32_t kSectorEraseLength = 4;  // the writer's length field for 'M'

// One image buffer serves both variants: only one download runs per process.
unsigned char image_buffer[kImageBufferSize];

// The lines that differ by variant: usb through WriteMem2 (types 3 and 4), usb through
// WriteMem, and evk.
struct download_lines {
  const char *open_error;
  const char *too_large;
  const char *full_sector_write_error;
  const char *last_sector_write_error;
  const char *page_buffer_error;
  const char *sram_write_error;
  const char *run_flag_error;
  const char *start_error;
};

const download_lines kUsbWriteMem2Lines = {
    " [138]: open .bin file err! \t\n",
    " [143]: .bin file larger than 1048576 bytes! \t\n",
    " [139]: write file err! \t\n",
    " [141]: write file err!  \t\n",
    " [144]: flash page buffer err! \t\n",
    " [146]: write .bin file err! \t\n",
    " [149]: mcu run err! \t\n",
    " [147]: mcu run err! \t\n",
};

const download_lines kUsbWriteMemLines = {
    " [138]: open .bin file err! \t\n",
    " [143]: .bin file larger than 1048576 bytes! \t\n",
    " [140]: write file err! \t\n",
    " [142]: write file err! \t\n",
    " [144]: flash page buffer err! \t\n",
    " [148]: write .bin file err! \t\n",
    " [149]: mcu run err! \t\n",
    " [150]: mcu run err! \t\n",
};

const download_lines kEvkLines = {
    " [151]: open. bin file err! \t\n",
    " [153]: .bin file larger than 1048576 bytes! \t\n",
    " [151]: write file err! \t\n",
    " [152]: write file err! \t\n",
    " [154]: flash page buffer err! \t\n",
    " [155]: write file err! \t\n",
    " [156]: mcu run err! \t\n",
    " [157]: mcu run err! \t\n",
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
  print_message(" File Download to 0x%.6x: %d bytes \t\n", address, static_cast<int>(size));
  print_message(" Total Time: %d ms \t\n", static_cast<int>(elapsed));
}

void download_to_flash(const download_target &t, uint32_t address, uint32_t size) {
  uint32_t start_ms = clock_ms();
  // An empty image has no sector to erase: leave the flash as it is and report 0 bytes.
  if (size == 0) {
    print_summary(address, 0, start_ms);
    return;
  }
  uint32_t sectors = (size + kSectorSize - 1) / kSectorSize;
  uint32_t pages = (size + kPageSize - 1) / kPageSize;
  uint32_t tail = size % kPageSize;

  // Full sectors: a failed erase or page program is reported and the download goes on.
  for (uint32_t i = 0; i < sectors - 1; ++i) {
    uint32_t sector_address = address + i * kSectorSize;
    if (!erase_sector(t, sector_address)) {
      print_message(" Flash Sector (4K) Erase Error at address %x \t\n", sector_address);
      continue;
    }
    print_message(" Flash Sector (4K) Erase at address %x \t\n", sector_address);
    uint32_t page_buffer = query_page_buffer(t);
    if (page_buffer == 0) {
      print_message("%s", t.lines->page_buffer_error);
      return;
    }
    for (uint32_t k = 0; k < kPagesPerSector; ++k) {
      uint32_t flash_address = sector_address + k * kPageSize;
      if (!write_page_data(t, page_buffer, i * kSectorSize + k * kPageSize, kPageSize)) {
        print_message("%s", t.lines->full_sector_write_error);
        return;
      }
      if (!program_page(t, flash_address, kPageSize)) {
        print_message(" Flash Page Program Error at address %x \t\n", flash_address);
        continue;
      }
      if (k % 4 == 0) print_message(" Flash Page Program at address %x \t\n", flash_address);
    }
  }

  // Last sector: every failure ends the download without the summary.
  uint32_t remaining_pages = pages - kPagesPerSector * (sectors - 1);
  uint32_t last_offset = (sectors - 1) * kSectorSize;
  uint32_t last_address = address + last_offset;
  if (!erase_sector(t, last_address)) {
    print_message(" Flash Sector (4K) Erase Error at address %x \t\n", last_address);
    return;
  }
  print_message(" Flash Sector (4K) Erase at address %x \t\n", last_address);
  uint32_t page_buffer = query_page_buffer(t);
  if (page_buffer == 0) {
    print_message("%s", t.lines->page_buffer_error);
    return;
  }
  for (uint32_t j = 0; j < remaining_pages; ++j) {
    uint32_t length = (j == remaining_pages - 1 && tail != 0) ? tail : kPageSize;
    uint32_t flash_address = last_address + j * kPageSize;
    if (!write_page_data(t, page_buffer, last_offset + j * kPageSize, length)) {
      print_message("%s", t.lines->last_sector_write_error);
      return;
    }
    if (!program_page(t, flash_address, length)) {
      print_message(" Flash Page Program Error at address %x \t\n", flash_address);
      return;
    }
    if (j % 4 == 0) print_message(" Flash Page Program at address %x \t\n", flash_address);
  }
  print_summary(address, size, start_ms);
}

void download_to_sram(const download_target &t, uint32_t address, uint32_t size) {
  unsigned char start = start_byte(t.mcu_type);
  uint32_t start_ms = clock_ms();
  int count = static_cast<int>(size);
  if (route_write(t.route, address, image_buffer, count) != count) {
    print_message("%s", t.lines->sram_write_error);
    return;
  }
  if (needs_start_flag(t.mcu_type)) {
    // Type 1 is outside the 3/4 family, so in usb mode this goes through WriteMem.
    if (route_write_byte(t.route, kType1StartFlag, 0x01) != 1) {
      print_message("%s", t.lines->run_flag_error);
      return;
    }
  }
  if (route_write_byte(t.route, kCoreControl, start) != 1) {
    print_message("%s", t.lines->start_error);
    return;
  }
  uint32_t elapsed = clock_ms() - start_ms;
  print_message(" File Download to 0x%.6x: %d bytes \t\n", address, count);
  print_message(" Total Time: %d ms ,MCU Run \t\n", static_cast<int>(elapsed));
}

// Reads the whole file into the zero-filled image buffer.  Files that do not fit are refused
// before anything is read.  Returns false after printing the variant's line.
bool read_image(const download_target &t, const char *path, uint32_t *size) {
  // Only a regular file is an image: a folder, a FIFO (whose open would wait for a writer) or
  // a device such as /dev/zero is refused like a missing file.
  std::FILE *file = path != nullptr ? open_input_file(path) : nullptr;
  if (file == nullptr) {
    print_message("%s", t.lines->open_error);
    return false;
  }
  if (std::fseek(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    print_message("%s", t.lines->open_error);
    return false;
  }
  long length = std::ftell(file);
  if (length < 0 || static_cast<unsigned long>(length) > kImageBufferSize) {
    std::fclose(file);
    print_message("%s", t.lines->too_large);
    return false;
  }
  std::fseek(file, 0, SEEK_SET);
  *size = static_cast<uint32_t>(length);
  std::fread(image_buffer, 1, *size, file);
  std::fclose(file);
  return true;
}

void run_download(const download_target &t, uint32_t address, int target_kind,
                  const char *path) {
  std::memset(image_buffer, 0, sizeof image_buffer);
  // The writer is loaded for SRAM downloads too.
  if (load_flash_writer(t.handle, t.mcu_type, t.mode) == 0) return;
  uint32_t size = 0;
  if (!read_image(t, path, &size)) return;
  if (target_kind == kTargetFlash) {
    download_to_flash(t, address, size);
  } else if (target_kind == kTargetSram) {
    download_to_sram(t, address, size);
  }
}

}  // namespace

void download_image(int mode, int mcu_type, uint32_t address, int target_kind,
                    const char *path) {
  if (mode != kModeUsb && mode != kModeEvk) return;
  dn_handle_t handle = open_target_handle(mode, mcu_type);
  download_target target = {handle, mode, mcu_type, make_route(handle, mode, mcu_type),
                            &kEvkLines};
  if (mode == kModeUsb) {
    if (!usb_device_present(handle)) {
      print_message(" [137]: no usb device! \t\n");
      return;
    }
    target.lines = target.route.long_layout ? &kUsbWriteMem2Lines : &kUsbWriteMemLines;
  }
  run_download(target, address, target_kind, path);
}
