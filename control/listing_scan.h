// SPDX-License-Identifier: Apache-2.0
// Reading a disassembly listing (.lst): lines as a text-mode reader delivers them, the
// blank/tab tokens of a line, and the table of routine symbols between the .vectors and
// .rodata section headers.
#ifndef ORVANE_CONTROL_LISTING_SCAN_H
#define ORVANE_CONTROL_LISTING_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A listing line: at most 1023 characters with its line feed, then the terminator.  Longer
// lines come in pieces of 1023 characters, each counting as a line.
constexpr std::size_t kListingLineSize = 1024;
constexpr int kMaxSymbols = 2000;
constexpr std::size_t kReaderFill = 131072;

// Buffered reader over the raw file.  It removes the carriage return of a CR LF line end
// itself, as a text-mode stream would, so the file offset of every line stays exact and a
// line can be found again by seeking instead of reading the listing from the start.
struct listing_reader {
  std::FILE *file;
  int64_t base;     // file offset of buffer[0]
  std::size_t pos;  // next unread byte in buffer
  std::size_t len;  // valid bytes in buffer
  unsigned char buffer[kReaderFill + 64];  // a quick look at a line reads 64 at a time
};

void listing_reader_open(listing_reader *reader, std::FILE *file);
// Reads the next line into line (kListingLineSize characters); its file offset goes to
// *offset.  Returns false at the end of the file.
bool listing_read_line(listing_reader *reader, char *line, int64_t *offset);
// The next line as listing_read_line gives it, but left in the reader's buffer where it can
// be (then not terminated); otherwise copied into scratch (kListingLineSize characters).
struct line_view {
  const char *text;
  std::size_t length;
};
bool listing_next_view(listing_reader *reader, char *scratch, line_view *view,
                       int64_t *offset);
// Positions the reader at a file offset given by listing_read_line.
bool listing_seek(listing_reader *reader, int64_t offset);

// Tokens separated by blanks and tabs; the line end stays attached to the last token.  A
// line ends at its length or at a string terminator, whichever comes first.
struct line_tokens {
  int count;                // tokens counted as far as the kind of line needs: 3 stands for
                            // "three or more", except after "Disassembly" (counted up to 5)
  const char *first;        // first token (null when count is 0)
  std::size_t first_length;
  const char *fourth;       // fourth token (null when count < 4)
  std::size_t fourth_length;
};
void split_tokens(const char *text, std::size_t length, line_tokens *tokens);
void split_tokens(const char *line, line_tokens *tokens);

// A token read as a hexadecimal number: an optional "0x", then hex digits up to the first
// character that is not one.  Values beyond 32 bits read as 0xffffffff.
uint32_t parse_hex_address(const char *text);

struct listing_symbol {
  uint32_t address;
  int64_t offset;  // file offset of the symbol line
};

struct symbol_table {
  listing_symbol entries[kMaxSymbols];
  int count;
  bool overflowed;  // more symbol lines than entries since the last .vectors header
};

// Builds the table: symbol lines (exactly two tokens) from the .vectors header on (a second
// .vectors header starts the table again), until the .rodata header or the end of the file.
void scan_listing_symbols(listing_reader *reader, symbol_table *table);

// Index of the first entry at or after start whose address lies strictly between pc and the
// next entry's address (address < pc < next address); -1 when none does.
int find_enclosing_symbol(const symbol_table *table, int start, uint32_t pc);

// When the first token of line reads as pc, makes line printable the way the instruction
// line is shown (the delimiter after the address becomes one blank when it stands within
// the first ten characters, else the line ends after the address) and returns true.
bool match_instruction_line(char *line, uint32_t pc);

#endif
