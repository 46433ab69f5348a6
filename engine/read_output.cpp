// SPDX-License-Identifier: Apache-2.0
// Read-back output: small reads as a hex dump on the console, large reads (and every read
// with -o) saved raw to a file.
#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "base/state.h"
#include "engine/engine.h"

unsigned char read_buffer[kReadBufferSize];
unsigned char write_scratch[4];

namespace {

constexpr uint32_t kDumpLimit = 1024;
constexpr uint32_t kSaveBlock = 1024;

void dump_to_console(uint32_t size, uint32_t start_address) {
  for (uint32_t i = 0; i < size; ++i) {
    if (i % 16 == 0) say(msg::dump_row, start_address + i);
    if (i % 8 == 0) say(msg::dump_gap);
    say(msg::dump_byte, read_buffer[i]);
  }
  // No line break after the last byte: the caller's "\n Total Time" line ends the dump.
}

// output_path := program directory + "\user\Read.bin".  False when that does not fit.
bool set_default_output_path() {
  std::memset(output_path, 0, sizeof output_path);
  char directory[kPathSize];
  if (!program_directory(directory, sizeof directory)) return false;
  int length = std::snprintf(output_path, sizeof output_path, "%s\\user\\Read.bin", directory);
  if (length < 0 || length >= static_cast<int>(sizeof output_path)) {
    std::memset(output_path, 0, sizeof output_path);
    return false;
  }
  return true;
}

}  // namespace

outcome output_read_data(uint32_t size, uint32_t start_address) {
  if (size > kReadBufferSize) size = kReadBufferSize;  // callers refuse larger reads
  if (size <= kDumpLimit && !output_path_set) {
    dump_to_console(size, start_address);
    return kDone;
  }
  if (!output_path_set && !set_default_output_path()) {
    return fail(msg::create_file_err_74);
  }
  // The user's -o path is used exactly as typed; only the default path, built from the
  // program directory with backslashes, goes through the separator translation.
  std::FILE *file =
      output_path_set ? std::fopen(output_path, "wb") : open_native(output_path, "wb");
  if (file == nullptr) {
    return fail(msg::create_file_err_74);
  }
  uint32_t blocks = size / kSaveBlock;
  for (uint32_t k = 0; k < blocks; ++k) {
    if (std::fwrite(read_buffer + k * kSaveBlock, 1, kSaveBlock, file) < kSaveBlock) {
      std::fclose(file);
      return fail(msg::save_write_error);
    }
  }
  uint32_t rest = size % kSaveBlock;
  size_t written = std::fwrite(read_buffer + blocks * kSaveBlock, 1, rest, file);
  // fwrite only buffers: the flush is what reaches the disk, so a full disk shows only
  // there.  Success is reported only once the bytes have left the buffer.
  if (written != rest || std::fflush(file) != 0) {
    std::fclose(file);
    return fail(msg::save_write_error);
  }
  say(msg::read_saved, static_cast<int>(size));
  std::fclose(file);
  return kDone;
}
