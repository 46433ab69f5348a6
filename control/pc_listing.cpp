// SPDX-License-Identifier: Apache-2.0
// The program counter, read without disturbing the core, and its place in a listing: the
// symbol line of the enclosing routine, then the instruction line at the program counter.
#include <cstdio>

#include "base/console.h"
#include "base/platform.h"
#include "control/control.h"
#include "wire/byte_order.h"
#include "control/listing_scan.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

listing_reader reader;
symbol_table symbols;
char line[kListingLineSize];

// Prints the symbol line, then looks on from the line after it for the
// instruction at pc.  True when the instruction line was found and printed.
bool show_routine(const listing_symbol &symbol, uint32_t pc) {
  int64_t offset = 0;
  if (!listing_seek(&reader, symbol.offset) || !listing_read_line(&reader, line, &offset))
    return false;
  say(msg::text_line, line);
  while (listing_read_line(&reader, line, &offset)) {
    if (match_instruction_line(line, pc)) {
      say(msg::text_line, line);
      return true;
    }
  }
  return false;
}

}  // namespace

outcome read_pc(int mode, int mcu_type, uint32_t *pc) {
  target_route route;
  if (const outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_39,
                                        msg::no_evk_device_40, &route);
      o != kDone)
    return o;
  unsigned char buffer[4] = {0, 0, 0, 0};
  // A route without transfers reads the counter as 0, which no routine encloses.
  if (route.transfer != transfer_mode::none &&
      route_read(route, kProgramCounter, buffer, 4) != 4) {
    return fail(route.transfer == transfer_mode::vlane ? msg::read_pc_err_233
                                                       : msg::read_pc_err_232);
  }
  *pc = load_le32(buffer);
  return kDone;
}

outcome show_pc_in_listing(int mode, int mcu_type, const char *listing) {
  // Opened as bytes: the reader drops the CR of CR LF itself, so offsets stay exact.  Only a
  // regular file is a listing (a folder or a FIFO is not, and the PC is then not read).
  std::FILE *file = open_input_file(listing);
  if (file == nullptr) return fail(msg::open_lst_err_38);
  listing_reader_open(&reader, file);
  scan_listing_symbols(&reader, &symbols);
  if (symbols.overflowed) say(msg::too_many_symbols_210, kMaxSymbols);
  uint32_t pc = 0;
  const outcome read = read_pc(mode, mcu_type, &pc);
  if (read != kDone) {
    std::fclose(file);
    return read;
  }
  for (int j = find_enclosing_symbol(&symbols, 0, pc); j >= 0;
       j = find_enclosing_symbol(&symbols, j + 1, pc)) {
    if (show_routine(symbols.entries[j], pc)) break;
  }
  std::fclose(file);
  return kDone;
}
