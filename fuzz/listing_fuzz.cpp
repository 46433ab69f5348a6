// SPDX-License-Identifier: Apache-2.0
// The listing scanner against a plain reference reader over the same bytes: the lines (text
// and file offsets), the symbol table (addresses, offsets, overflow), and every symbol line
// and the line after it read again after a seek to the symbol's offset.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/listing_scan.h"
#include "fuzz/fuzz_check.h"

namespace {

struct ref_line {
  std::string text;  // as delivered, CR LF turned into LF
  int64_t offset;
};

// Pieces of at most 1023 characters ending after a line feed; CR LF is one line end, also
// when the CR is the last character of a full piece.
std::vector<ref_line> reference_lines(const uint8_t *data, size_t size) {
  std::vector<ref_line> lines;
  for (size_t pos = 0; pos < size;) {
    ref_line line{"", static_cast<int64_t>(pos)};
    while (pos < size && line.text.size() < 1023) {
      char c = static_cast<char>(data[pos++]);
      line.text += c;
      if (c == '\n') break;
    }
    std::string &t = line.text;
    if (t.back() == '\n' && t.size() >= 2 && t[t.size() - 2] == '\r') {
      t.erase(t.size() - 2, 1);
    } else if (t.size() == 1023 && t.back() == '\r' && pos < size && data[pos] == '\n') {
      t.back() = '\n';
      ++pos;
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> reference_tokens(const std::string &line) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : std::string(line.c_str())) {
    if (c != ' ' && c != '\t') {
      token += c;
    } else if (!token.empty()) {
      tokens.push_back(token);
      token.clear();
    }
  }
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

bool is_header(const std::vector<std::string> &t, const char *section) {
  return t.size() >= 4 && t[0] == "Disassembly" && t[3] == section;
}

uint32_t reference_hex(const std::string &token) {
  size_t i = 0;
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X') &&
      std::isxdigit(static_cast<unsigned char>(token[2])))
    i = 2;
  uint64_t value = 0;
  for (; i < token.size() && std::isxdigit(static_cast<unsigned char>(token[i])); ++i) {
    value = value * 16 + std::stoul(token.substr(i, 1), nullptr, 16);
    if (value > 0xffffffffu) return 0xffffffffu;
  }
  return static_cast<uint32_t>(value);
}

listing_reader reader;
symbol_table table;
char line[kListingLineSize];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const std::vector<ref_line> lines = reference_lines(data, size);
  std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (file == nullptr) return 0;

  // 1. Line by line.
  listing_reader_open(&reader, file);
  int64_t offset = -1;
  for (const ref_line &expected : lines) {
    FUZZ_CHECK(listing_read_line(&reader, line, &offset));
    FUZZ_CHECK(offset == expected.offset);
    FUZZ_CHECK(std::memcmp(line, expected.text.data(), expected.text.size()) == 0);
    FUZZ_CHECK(line[expected.text.size()] == '\0');
  }
  FUZZ_CHECK(!listing_read_line(&reader, line, &offset));

  // 2. The symbol table.
  std::vector<listing_symbol> symbols;
  std::vector<size_t> symbol_lines;  // index of each symbol's line
  bool overflowed = false;
  bool collecting = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> tokens = reference_tokens(lines[i].text);
    if (is_header(tokens, ".vectors:\n")) {
      collecting = true;
      symbols.clear();
      symbol_lines.clear();
      overflowed = false;
    }
    if (collecting && tokens.size() == 2) {
      if (symbols.size() < static_cast<size_t>(kMaxSymbols)) {
        symbols.push_back({reference_hex(tokens[0]), lines[i].offset});
        symbol_lines.push_back(i);
      } else {
        overflowed = true;
      }
    }
    if (is_header(tokens, ".rodata:\n")) break;
  }
  std::rewind(file);
  listing_reader_open(&reader, file);
  scan_listing_symbols(&reader, &table);
  FUZZ_CHECK(table.count == static_cast<int>(symbols.size()));
  FUZZ_CHECK(table.overflowed == overflowed);
  for (size_t j = 0; j < symbols.size(); ++j) {
    FUZZ_CHECK(table.entries[j].address == symbols[j].address);
    FUZZ_CHECK(table.entries[j].offset == symbols[j].offset);
  }

  // 3. Found again by seeking: the symbol line, then the line after it.
  for (size_t j = 0; j < symbols.size() && j < 16; ++j) {
    const size_t index = symbol_lines[j];
    FUZZ_CHECK(listing_seek(&reader, symbols[j].offset));
    for (size_t k = index; k < lines.size() && k < index + 2; ++k) {
      FUZZ_CHECK(listing_read_line(&reader, line, &offset));
      FUZZ_CHECK(offset == lines[k].offset);
      FUZZ_CHECK(lines[k].text == std::string(line, lines[k].text.size()));
    }
  }
  std::fclose(file);
  return 0;
}
