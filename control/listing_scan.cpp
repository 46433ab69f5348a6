// Listing reader, tokens and the symbol table of the program-counter lookup.
#include "control/listing_scan.h"

#include <cstring>

namespace {

constexpr std::size_t kLineChars = kListingLineSize - 1;

bool is_delimiter(char c) { return c == ' ' || c == '\t'; }

bool token_is(const char *token, std::size_t length, const char *text) {
  return token != nullptr && std::strlen(text) == length && std::memcmp(token, text, length) == 0;
}

bool is_section_header(const line_tokens &tokens, const char *section) {
  return tokens.count >= 4 && token_is(tokens.first, tokens.first_length, "Disassembly") &&
         token_is(tokens.fourth, tokens.fourth_length, section);
}

bool refill(listing_reader *reader) {
  reader->base += static_cast<int64_t>(reader->len);
  reader->pos = 0;
  reader->len = std::fread(reader->buffer, 1, sizeof reader->buffer, reader->file);
  return reader->len > 0;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void listing_reader_open(listing_reader *reader, std::FILE *file) {
  reader->file = file;
  reader->base = 0;
  reader->pos = 0;
  reader->len = 0;
}

bool listing_read_line(listing_reader *reader, char *line, int64_t *offset) {
  if (reader->pos == reader->len && !refill(reader)) return false;
  *offset = reader->base + static_cast<int64_t>(reader->pos);

  std::size_t out = 0;
  while (out < kLineChars) {
    if (reader->pos == reader->len && !refill(reader)) break;
    const unsigned char *start = reader->buffer + reader->pos;
    const std::size_t available = reader->len - reader->pos;
    const std::size_t room = kLineChars - out;
    const std::size_t n = available < room ? available : room;
    const void *feed = std::memchr(start, '\n', n);
    const std::size_t take = feed ? static_cast<std::size_t>(
                                        static_cast<const unsigned char *>(feed) - start) + 1
                                  : n;
    std::memcpy(line + out, start, take);
    out += take;
    reader->pos += take;
    if (feed) {
      // CR LF is one line end, as in text mode: the carriage return is not part of the line.
      if (out >= 2 && line[out - 2] == '\r') {
        line[out - 2] = '\n';
        --out;
      }
      line[out] = '\0';
      return true;
    }
  }
  // A piece filled up.  When its last character is the CR of a CR LF, the pair is the line
  // end, which a text-mode stream would have delivered as one line feed in this piece.
  if (out == kLineChars && line[out - 1] == '\r' &&
      (reader->pos < reader->len || refill(reader)) && reader->buffer[reader->pos] == '\n') {
    line[out - 1] = '\n';
    ++reader->pos;
  }
  line[out] = '\0';
  return true;
}

bool listing_seek(listing_reader *reader, int64_t offset) {
#if defined(_WIN32)
  const bool ok = _fseeki64(reader->file, offset, SEEK_SET) == 0;
#else
  const bool ok = fseeko(reader->file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
  reader->base = offset;
  reader->pos = 0;
  reader->len = 0;
  return ok;
}

void split_tokens(const char *line, line_tokens *tokens) {
  *tokens = line_tokens{0, nullptr, 0, nullptr, 0};
  const char *p = line;
  while (tokens->count < 5) {
    while (is_delimiter(*p)) ++p;
    if (*p == '\0') return;
    const char *token = p;
    while (*p != '\0' && !is_delimiter(*p)) ++p;
    ++tokens->count;
    if (tokens->count == 1) {
      tokens->first = token;
      tokens->first_length = static_cast<std::size_t>(p - token);
    } else if (tokens->count == 4) {
      tokens->fourth = token;
      tokens->fourth_length = static_cast<std::size_t>(p - token);
    }
  }
}

uint32_t parse_hex_address(const char *text) {
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && hex_digit(text[2]) >= 0) text += 2;
  uint64_t value = 0;
  for (int digit = hex_digit(*text); digit >= 0; digit = hex_digit(*++text)) {
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xffffffffu) return 0xffffffffu;
  }
  return static_cast<uint32_t>(value);
}

void scan_listing_symbols(listing_reader *reader, symbol_table *table) {
  static char line[kListingLineSize];
  table->count = 0;
  table->overflowed = false;
  bool collecting = false;
  uint32_t line_number = 0;
  int64_t offset = 0;

  while (listing_read_line(reader, line, &offset)) {
    ++line_number;
    line_tokens tokens;
    split_tokens(line, &tokens);
    if (tokens.count == 0) continue;
    if (is_section_header(tokens, ".vectors:\n")) {
      collecting = true;
      table->count = 0;
      table->overflowed = false;
    }
    if (collecting && tokens.count == 2) {
      if (table->count < kMaxSymbols) {
        table->entries[table->count++] =
            listing_symbol{line_number, parse_hex_address(tokens.first), offset};
      } else {
        table->overflowed = true;  // never stored: the table has its fixed size
      }
    }
    if (is_section_header(tokens, ".rodata:\n")) return;
  }
}

int find_enclosing_symbol(const symbol_table *table, int start, uint32_t pc) {
  for (int j = start; j + 1 < table->count; ++j) {
    if (table->entries[j].address < pc && table->entries[j + 1].address > pc) return j;
  }
  return -1;
}

bool match_instruction_line(char *line, uint32_t pc) {
  line_tokens tokens;
  split_tokens(line, &tokens);
  if (tokens.count == 0) return false;
  // Reading stops at the first non-hex character, so at the latest at the token's end.
  if (parse_hex_address(tokens.first) != pc) return false;

  const std::size_t end = static_cast<std::size_t>(tokens.first - line) + tokens.first_length;
  if (line[end] == '\0') return true;  // no delimiter after the address: the line as it is
  if (end < 10)
    line[end] = ' ';  // a tab after the address is shown as a blank
  else
    line[end] = '\0';  // only the blanks and the address, without a line end
  return true;
}
