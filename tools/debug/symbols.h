// SPDX-License-Identifier: Apache-2.0
// The session's symbols: routine names and addresses from the .lst listing (read with the
// listing scanner Orvane's program-counter lookup uses) and from an ELF file's symbol table.
#ifndef ORVANE_DEBUG_SYMBOLS_H
#define ORVANE_DEBUG_SYMBOLS_H

#include <cstdint>
#include <string>
#include <vector>

struct symbol {
  std::string name;
  uint32_t address;
};

// Sorted by address; a name may appear once only (the first one read wins).
struct symbol_list {
  std::vector<symbol> entries;
};

// Adds the symbol lines between the listing's .vectors and .rodata headers ("00000070
// <print_count>:").  False when the file cannot be read.
bool add_listing_symbols(const std::string &path, symbol_list *list, std::string *error);
// Adds the named symbols of an ELF32 little-endian file's symbol table (functions, objects
// and plain labels defined in a section).
bool add_elf_symbols(const std::string &path, symbol_list *list, std::string *error);

// Adds one symbol in its place by address; a name already known is left as it is.
void add_symbol(symbol_list *list, const std::string &name, uint32_t address);

// The address of a name; false when there is none.
bool find_symbol(const symbol_list &list, const std::string &name, uint32_t *address);
// "<name>" or "<name+0x1c>" for the nearest symbol at or below address; empty when none.
std::string describe_address(const symbol_list &list, uint32_t address);

#endif
