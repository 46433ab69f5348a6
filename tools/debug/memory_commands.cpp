// SPDX-License-Identifier: Apache-2.0
// Memory, flash, downloads, symbols and the UART.
#include <cctype>
#include <cstdio>

#include "tools/check/chip_hint.h"
#include "tools/check/chip_table.h"
#include "tools/check/platform.h"
#include "tools/debug/load_image.h"
#include "tools/debug/session.h"

namespace {

constexpr uint32_t kLargestDump = 65536;
constexpr std::size_t kLargestSet = 256;

void dump(uint32_t address, const std::vector<uint8_t> &bytes) {
  for (std::size_t row = 0; row < bytes.size(); row += 16) {
    std::printf("0x%.6x:", address + uint32_t(row));
    std::string text;
    for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
      std::printf(" %.2x", bytes[i]);
      text += std::isprint(bytes[i]) ? char(bytes[i]) : '.';
    }
    std::printf("%*s  |%s|\n", int(3 * (row + 16 > bytes.size() ? row + 16 - bytes.size() : 0)),
                "", text.c_str());
  }
}

// ADDR [LEN] for x, ADDR LEN for xf.
bool range_of(const session &s, const words &w, bool length_needed, uint32_t *address,
              uint32_t *length) {
  *length = 16;
  const bool shape_ok = length_needed ? w.size() == 3 : (w.size() == 2 || w.size() == 3);
  if (!shape_ok) return fail(w[0] + (length_needed ? " takes ADDR LEN" : " takes ADDR [LEN]"));
  if (!resolve_address(s, w[1], address)) return fail("no symbol \"" + w[1] + "\"");
  if (w.size() == 3 && (!parse_count(w[2], length) || *length == 0 || *length > kLargestDump))
    return fail("a length from 1 to 65536");
  if (uint64_t(*address) + *length > 0x100000000ull) return fail("the range passes 0xffffffff");
  return true;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool command_examine(session *s, const words &w) {
  uint32_t address = 0, length = 0;
  if (!range_of(*s, w, false, &address, &length)) return false;
  std::vector<uint8_t> bytes;
  const op_outcome read = op_read_core(s->link, address, length, &bytes);
  if (!read.ok) return fail(read);
  dump(address, bytes);
  return true;
}

bool command_examine_flash(session *s, const words &w) {
  uint32_t address = 0, length = 0;
  if (!range_of(*s, w, true, &address, &length)) return false;
  std::vector<uint8_t> bytes;
  const op_outcome read = op_read_flash(s->link, address, length, &bytes);
  if (!read.ok) return fail(read);
  dump(address, bytes);
  return true;
}

bool command_set(session *s, const words &w) {
  uint32_t address = 0;
  if (w.size() != 3) return fail("set takes ADDR HEXBYTES");
  if (!resolve_address(*s, w[1], &address)) return fail("no symbol \"" + w[1] + "\"");
  const std::string &hex = w[2];
  if (hex.size() % 2 != 0 || hex.size() / 2 > kLargestSet)
    return fail("HEXBYTES: pairs of hex digits, 1 to 256 bytes");
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hex_value(hex[i]), low = hex_value(hex[i + 1]);
    if (high < 0 || low < 0) return fail("HEXBYTES: pairs of hex digits, 1 to 256 bytes");
    bytes.push_back(uint8_t(high << 4 | low));
  }
  const op_outcome write = op_write_core(s->link, address, bytes);
  if (!write.ok) return fail(write);
  std::printf("wrote %lu bytes at 0x%.6x\n", static_cast<unsigned long>(bytes.size()), address);
  return true;
}

bool command_load(session *s, const words &w) {
  uint32_t address = 0;
  if (w.size() != 2 && w.size() != 3) return fail("load takes FILE [ADDR]");
  if (w.size() == 3 && !resolve_address(*s, w[2], &address))
    return fail("no symbol \"" + w[2] + "\"");
  // The chip's family decides where flash ends; Orvane's own chip table says which it is.
  std::vector<chip_row> rows;
  const chip_row *chip = read_chip_table(config_beside(s->link.program), &rows)
                             ? find_chip(rows, s->link.chip)
                             : nullptr;
  if (chip == nullptr) return fail("chip " + s->link.chip + " is not in Orvane's config.ini");
  download_plan plan;
  std::string error;
  if (!plan_load(w[1], address, w.size() == 3, chip->mcu_type, &plan, &error)) return fail(error);
  std::size_t total = 0;
  for (const planned_run &run : plan.runs) {
    // Orvane downloads a file: each planned run goes through one of its own.
    const std::string file = make_temp_file();
    std::FILE *out = file.empty() ? nullptr : std::fopen(file.c_str(), "wb");
    bool written = out != nullptr &&
                   std::fwrite(run.bytes.data(), 1, run.bytes.size(), out) == run.bytes.size();
    if (out != nullptr && std::fclose(out) != 0) written = false;
    op_outcome download{false, "cannot write a temporary file"};
    if (written) download = op_download(s->link, file, run.address);
    if (!file.empty()) std::remove(file.c_str());
    if (!download.ok) return fail(download);
    total += run.bytes.size() - static_cast<std::size_t>(run.filled);
  }
  std::printf("loaded %lu bytes into flash in %lu segment%s\n", static_cast<unsigned long>(total),
              static_cast<unsigned long>(plan.runs.size()), plan.runs.size() == 1 ? "" : "s");
  return true;
}

bool command_symbols(session *s, const words &w) {
  if (w.size() > 2) return fail("symbols takes at most one pattern");
  std::size_t shown = 0;
  for (const symbol &entry : s->symbols.entries) {
    if (w.size() == 2 && entry.name.find(w[1]) == std::string::npos) continue;
    std::printf("0x%.6x %s\n", entry.address, entry.name.c_str());
    ++shown;
  }
  if (shown == 0) std::printf("no symbols\n");
  return true;
}

bool command_uart(session *, const words &w) {
  if (w.size() != 1) return fail("uart takes nothing");
  std::string bytes;
  const op_outcome read = op_uart(&bytes);
  if (!read.ok) return fail(read);
  if (bytes.empty()) {
    std::printf("(nothing sent)\n");
    return true;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (bytes.back() != '\n') std::printf("\n");
  return true;
}
