// SPDX-License-Identifier: Apache-2.0
// Listing reader, tokens and the symbol table of the program-counter lookup.
#include "control/listing_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kLineChars = kListingLineSize - 1;

// Character kinds for tokenising: one table look-up per character.
enum char_kind : unsigned char { kTokenChar, kDelimiter, kStringEnd };
struct char_kinds {
  char_kind kind[256];
  constexpr char_kinds() : kind{} {
    kind[static_cast<unsigned char>(' ')] = kDelimiter;
    kind[static_cast<unsigned char>('\t')] = kDelimiter;
    kind[0] = kStringEnd;
  }
  constexpr char_kind operator[](unsigned char c) const { return kind[c]; }
};
constexpr char_kinds kCharKind;

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
  reader->len = std::fread(reader->buffer, 1, kReaderFill, reader->file);
  return reader->len > 0;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

#if defined(__SSE2__)
// The quick pass over plain instruction lines.
//
// Most lines of a listing are instruction lines: three or more tokens, the first not
// beginning with 'D', so neither a symbol line (exactly two tokens) nor a section header
// ("Disassembly of section ...").  The scan has nothing to do with them but count them as
// passed, and this pass does that without copying or tokenising, 64 bytes at a time.  It
// earns its place in bench/listing: with it the lookup in a 100 MB listing runs at about 0.6
// of the speed of `grep -c` over the same file, without it at about 0.3.  A plain loop that
// builds the same masks a byte at a time is slower than no quick pass at all, so without
// SSE2 every line goes the exact way (skip_plain_lines passes over nothing).
//
// Three 64-bit masks describe the 64 bytes at p, bit i for byte i: line feeds, delimiters
// (blank or tab) and string terminators.  Each comparison of 16 bytes gives 16 bits
// (_mm_movemask_epi8), four of them make a mask.
void character_masks(const unsigned char *p, uint64_t *feed, uint64_t *delimiter,
                     uint64_t *terminator) {
  *feed = *delimiter = *terminator = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * part));
    const auto bits = [&](__m128i equal) {
      return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(equal))) << (16 * part);
    };
    *feed |= bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n')));
    *delimiter |= bits(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' ')),
                                    _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\t'))));
    *terminator |= bits(_mm_cmpeq_epi8(chunk, _mm_setzero_si128()));
  }
}

// Returns the bytes of the plain lines at p (available bytes, line starts at p); stops before
// the first line that needs the exact way: one with fewer than three tokens, a first token
// beginning with 'D', a string terminator, or no line feed within the bytes looked at.
std::size_t skip_plain_lines(const unsigned char *p, std::size_t available) {
  std::size_t passed = 0;
  for (;;) {
    const std::size_t window = available - passed < 64 ? available - passed : 64;
    if (window == 0) return passed;
    // The reader's buffer has 64 defined bytes past its data, so a short window may look.
    uint64_t feed, delimiter, terminator;
    character_masks(p + passed, &feed, &delimiter, &terminator);
    if (window < 64) feed &= (1ull << window) - 1;
    if (feed == 0) return passed;  // the next line ends further on: a long one
    // The lines that end in this window, one after the other; bit 0 is always a line start.
    while (feed != 0) {
      const int end = __builtin_ctzll(feed);  // the line feed of this line
      const uint64_t in_line = end == 63 ? ~0ull : (1ull << (end + 1)) - 1;
      if (terminator & in_line) return passed;
      // A token starts at a non-delimiter that follows a delimiter or the line start.  A CR
      // before the line feed is no delimiter, so it changes nothing here.
      const uint64_t starts = ~delimiter & ((delimiter << 1) | 1) & in_line;
      // Clearing the lowest start twice leaves a bit only when there is a third.
      uint64_t third = starts & (starts - 1);
      third &= third - 1;
      if (third == 0 || p[passed + __builtin_ctzll(starts)] == 'D') return passed;
      passed += static_cast<std::size_t>(end) + 1;
      if (end == 63) break;
      // The next line now starts at bit 0.
      feed >>= end + 1;
      delimiter >>= end + 1;
      terminator >>= end + 1;
    }
  }
}
#else
std::size_t skip_plain_lines(const unsigned char *, std::size_t) { return 0; }
#endif

}  // namespace

void listing_reader_open(listing_reader *reader, std::FILE *file) {
  reader->file = file;
  // The quick look at lines may read up to 64 bytes past the data: let them be defined.
  std::memset(reader->buffer, 0, sizeof reader->buffer);
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

bool listing_next_view(listing_reader *reader, char *scratch, line_view *view,
                       int64_t *offset) {
  // Fast path: a line that lies whole in the buffer is used where it is.  Its CR LF end is
  // turned into LF in place: the buffer is refilled from the file, never written back.
  if (reader->pos < reader->len) {
    unsigned char *start = reader->buffer + reader->pos;
    const std::size_t available = reader->len - reader->pos;
    const void *feed = std::memchr(start, '\n', available < kLineChars ? available : kLineChars);
    if (feed) {
      std::size_t length =
          static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - start) + 1;
      *offset = reader->base + static_cast<int64_t>(reader->pos);
      reader->pos += length;
      if (length >= 2 && start[length - 2] == '\r') {
        start[length - 2] = '\n';
        --length;
      }
      *view = line_view{reinterpret_cast<const char *>(start), length};
      return true;
    }
  }
  // A line across the buffer's end, a long line in pieces, or the last line of the file.
  if (!listing_read_line(reader, scratch, offset)) return false;
  *view = line_view{scratch, std::strlen(scratch)};
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

void split_tokens(const char *text, std::size_t length, line_tokens *tokens) {
  *tokens = line_tokens{0, nullptr, 0, nullptr, 0};
  const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
  const unsigned char *const end = p + length;
  bool header_candidate = false;
  while (tokens->count < 5) {
    while (p < end && kCharKind[*p] == kDelimiter) ++p;
    if (p == end || kCharKind[*p] == kStringEnd) return;
    if (tokens->count == 2 && !header_candidate) {
      tokens->count = 3;  // three or more: neither a symbol line nor a section header
      return;
    }
    const char *token = reinterpret_cast<const char *>(p);
    while (p < end && kCharKind[*p] == kTokenChar) ++p;
    const std::size_t token_length =
        static_cast<std::size_t>(reinterpret_cast<const char *>(p) - token);
    ++tokens->count;
    if (tokens->count == 1) {
      tokens->first = token;
      tokens->first_length = token_length;
      header_candidate = token_is(token, token_length, "Disassembly");
    } else if (tokens->count == 4) {
      tokens->fourth = token;
      tokens->fourth_length = token_length;
    }
  }
}

void split_tokens(const char *line, line_tokens *tokens) {
  split_tokens(line, std::strlen(line), tokens);
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
  static char scratch[kListingLineSize];
  table->count = 0;
  table->overflowed = false;
  bool collecting = false;
  int64_t offset = 0;

  line_view line;
  for (;;) {
    reader->pos += skip_plain_lines(reader->buffer + reader->pos, reader->len - reader->pos);
    if (!listing_next_view(reader, scratch, &line, &offset)) break;
    line_tokens tokens;
    split_tokens(line.text, line.length, &tokens);
    if (tokens.count == 0) continue;
    if (is_section_header(tokens, ".vectors:\n")) {
      collecting = true;
      table->count = 0;
      table->overflowed = false;
    }
    if (collecting && tokens.count == 2) {
      if (table->count < kMaxSymbols) {
        table->entries[table->count++] =
            listing_symbol{parse_hex_address(tokens.first), offset};
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
