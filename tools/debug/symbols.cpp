// SPDX-License-Identifier: Apache-2.0
// Symbol names for the session, and the name of an address.
#include "tools/debug/symbols.h"

#include <algorithm>
#include <cstdio>

#include "control/listing_scan.h"

namespace {

// Big tables: one listing is read at a time.
listing_reader reader;
symbol_table table;

// The name between the angle brackets of a symbol line.
std::string name_in(const char *line) {
  const std::string text(line);
  const std::size_t open = text.find('<');
  const std::size_t close = text.rfind('>');
  if (open == std::string::npos || close == std::string::npos || close <= open) return "";
  return text.substr(open + 1, close - open - 1);
}

}  // namespace

bool add_listing_symbols(const std::string &path, symbol_list *list, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read the listing " + path;
    return false;
  }
  listing_reader_open(&reader, file);
  scan_listing_symbols(&reader, &table);
  static char line[kListingLineSize];
  for (int i = 0; i < table.count; ++i) {
    int64_t offset = 0;
    if (listing_seek(&reader, table.entries[i].offset) &&
        listing_read_line(&reader, line, &offset))
      add_symbol(list, name_in(line), table.entries[i].address);
  }
  std::fclose(file);
  return true;
}

void add_symbol(symbol_list *list, const std::string &name, uint32_t address) {
  if (name.empty()) return;
  for (const symbol &known : list->entries)
    if (known.name == name) return;
  const auto at = std::upper_bound(
      list->entries.begin(), list->entries.end(), address,
      [](uint32_t value, const symbol &entry) { return value < entry.address; });
  list->entries.insert(at, symbol{name, address});
}

bool find_symbol(const symbol_list &list, const std::string &name, uint32_t *address) {
  for (const symbol &entry : list.entries) {
    if (entry.name == name) {
      *address = entry.address;
      return true;
    }
  }
  return false;
}

std::string describe_address(const symbol_list &list, uint32_t address) {
  const symbol *nearest = nullptr;
  for (const symbol &entry : list.entries)
    if (entry.address <= address) nearest = &entry;
  if (nearest == nullptr) return "";
  if (nearest->address == address) return "<" + nearest->name + ">";
  char offset[16];
  std::snprintf(offset, sizeof offset, "+0x%x", address - nearest->address);
  return "<" + nearest->name + offset + ">";
}
