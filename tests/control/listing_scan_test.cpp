// SPDX-License-Identifier: Apache-2.0
// The listing scanner: lines as a text-mode reader gives them, the symbol table between the
// section headers, the enclosing-symbol rule and the shape of the printed instruction line.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/listing_scan.h"
#include "harness.h"

namespace {

class ListingFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = harness::make_temp_dir(); }
  void TearDown() override {
    if (file_) std::fclose(file_);
    harness::remove_tree(dir_);
  }

  listing_reader *open(const std::string &content) {
    const std::string path = dir_ + "/firmware.lst";
    harness::write_file(path, content);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "rb");
    listing_reader_open(reader_.get(), file_);
    return reader_.get();
  }

  std::vector<std::string> all_lines(const std::string &content) {
    listing_reader *reader = open(content);
    std::vector<std::string> lines;
    char scratch[kListingLineSize];
    line_view line;
    int64_t offset = 0;
    while (listing_next_view(reader, scratch, &line, &offset))
      lines.emplace_back(line.text, line.length);
    return lines;
  }

  symbol_table *scan(const std::string &content) {
    scan_listing_symbols(open(content), table_.get());
    return table_.get();
  }

  std::string dir_;
  std::FILE *file_ = nullptr;
  std::unique_ptr<listing_reader> reader_ = std::make_unique<listing_reader>();
  std::unique_ptr<symbol_table> table_ = std::make_unique<symbol_table>();
};

const char kVectors[] = "Disassembly of section .vectors:\n";

std::vector<uint32_t> addresses(const symbol_table *table) {
  std::vector<uint32_t> out;
  for (int i = 0; i < table->count; ++i) out.push_back(table->entries[i].address);
  return out;
}

TEST_F(ListingFile, CarriageReturnBeforeLineFeedIsNotPartOfTheLine) {
  EXPECT_EQ(all_lines("a\r\nb\rc\n\r\nlast\r"),
            (std::vector<std::string>{"a\n", "b\rc\n", "\n", "last\r"}));
}

TEST_F(ListingFile, LongLinesComeInPiecesOf1023Characters) {
  const std::string long_line(1023 + 1023 + 5, 'x');
  const std::vector<std::string> lines = all_lines(long_line + "\nnext\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], std::string(1023, 'x'));
  EXPECT_EQ(lines[1], std::string(1023, 'x'));
  EXPECT_EQ(lines[2], std::string(5, 'x') + "\n");
  EXPECT_EQ(lines[3], "next\n");
}

TEST_F(ListingFile, LineEndAtThePieceBoundaryStaysInThePiece) {
  // 1022 characters and CR LF: the line end is the 1023rd character of the piece.
  const std::vector<std::string> lines = all_lines(std::string(1022, 'y') + "\r\nz\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(1022, 'y') + "\n");
  EXPECT_EQ(lines[1], "z\n");
}

TEST_F(ListingFile, LinesAreFoundAgainByTheirOffset) {
  // Far enough apart that the second line lies in another buffer fill.
  const std::string filler(70000, 'f');
  listing_reader *reader = open("first\r\n" + filler + "\r\nsecond\r\nthird\n");
  char line[kListingLineSize];
  int64_t offset = 0;
  int64_t second_offset = -1;
  while (listing_read_line(reader, line, &offset)) {
    if (std::string(line) == "second\n") second_offset = offset;
  }
  ASSERT_GE(second_offset, 0);
  ASSERT_TRUE(listing_seek(reader, second_offset));
  ASSERT_TRUE(listing_read_line(reader, line, &offset));
  EXPECT_STREQ(line, "second\n");
  ASSERT_TRUE(listing_read_line(reader, line, &offset));
  EXPECT_STREQ(line, "third\n");
}

TEST(ListingTokens, AddressesReadAsHexUpToTheFirstOtherCharacter) {
  EXPECT_EQ(parse_hex_address("00000180:"), 0x180u);
  EXPECT_EQ(parse_hex_address("0x1A2b <x>"), 0x1a2bu);
  EXPECT_EQ(parse_hex_address("ffffffff\n"), 0xffffffffu);
  EXPECT_EQ(parse_hex_address("123456789"), 0xffffffffu);
  EXPECT_EQ(parse_hex_address("<main>:"), 0u);
}

TEST_F(ListingFile, SymbolsAreCollectedFromVectorsToRodata) {
  const std::string content =
      "00000050 <before>:\n"                       // before .vectors, ignored
      "Disassembly of section .vectors:\n"
      "00000000 <_start>:\n"
      "       0:\t00000013 \tnop\n"                  // instruction: more than two tokens
      "\r\n"                                       // one token: the line end
      "Disassembly of section .text:\r\n"
      "00000100 <main>:\r\n"                       // other section still collected
      "Disassembly of section .rodata:\n"
      "00000300 <table>:\n";                       // after .rodata: never read
  const symbol_table *table = scan(content);
  EXPECT_EQ(addresses(table), (std::vector<uint32_t>{0x0, 0x100}));
  // Each entry finds its line again by its file offset.
  EXPECT_EQ(table->entries[0].offset, int64_t(content.find("00000000 <_start>")));
  EXPECT_EQ(table->entries[1].offset, int64_t(content.find("00000100 <main>")));
  EXPECT_FALSE(table->overflowed);
}

TEST_F(ListingFile, SecondVectorsHeaderRestartsTheTable) {
  const symbol_table *table = scan(std::string(kVectors) + "00000010 <a>:\n" + kVectors +
                                   "00000020 <b>:\n00000030 <c>:\n");
  EXPECT_EQ(addresses(table), (std::vector<uint32_t>{0x20, 0x30}));
}

TEST_F(ListingFile, HeadersMustBeWholeTokensWithTheirLineEnd) {
  // A header at the end of the file without a line end, and one with extra words after the
  // section name, are not headers; a listing without .rodata is read to its end.
  const symbol_table *none = scan("Disassembly of section .vectors: x\n00000010 <a>:\n"
                                  "Disassembly of section .vectors:");
  EXPECT_EQ(none->count, 0);
  const symbol_table *to_end = scan(std::string(kVectors) + "00000010 <a>:\n" +
                                    "Disassembly of section .rodata: \n00000020 <b>:\n");
  EXPECT_EQ(addresses(to_end), (std::vector<uint32_t>{0x10, 0x20}));
}

TEST_F(ListingFile, QuickPassOverInstructionLinesAgreesWithTheExactWay) {
  // Lines of every length around the 64-character look, with two, three and more tokens,
  // terminators, CR LF ends and a first token beginning with 'D'; lines cross the buffer's
  // refills.  The table must be the one a line-by-line tokenising gives.
  std::string content;
  const char *shapes[][2] = {{"", ":\tnop"},   {"", " <s>:"},        {"  ", ":\t13 \taddi"},
                             {"D", " two"},    {"D", " x y"},        {"", "\t\t"},
                             {"", ":\t13"},    {"", " a\r"},         {"", ": 1 2"},
                             {"  ", ":\t1 2 3"}, {"\t\t", ":\t13 \tsw"}, {" ", ": 0 a b c d e"}};
  for (unsigned i = 0; content.size() < 170000; ++i) {
    // Collecting starts shortly before the first refill of the reader's buffer.
    if (i == 8000) content += "Disassembly of section .vectors:\r\n";
    char address[16];
    std::snprintf(address, sizeof address, "%x", i);
    content += std::string(shapes[i % 12][0]) + address + shapes[i % 12][1];
    if (i % 12 == 6) content += std::string("\0 x y", 5);  // tokens after a terminator
    content.append(i % 7, i % 2 ? ' ' : 'x');
    if (i % 997 == 0) content += std::string(1500, i % 2 ? 'y' : ' ') + " z";  // in pieces
    content += i % 3 ? "\n" : "\r\n";
  }
  const symbol_table *table = scan(content);

  std::vector<std::pair<int64_t, uint32_t>> expected;  // file offset, address
  listing_reader *reader = open(content);
  char line[kListingLineSize];
  int64_t offset = 0;
  bool collecting = false;
  while (listing_read_line(reader, line, &offset)) {
    line_tokens tokens;
    split_tokens(line, &tokens);
    collecting = collecting || std::string(line).rfind("Disassembly", 0) == 0;
    if (collecting && tokens.count == 2) expected.emplace_back(offset, parse_hex_address(tokens.first));
  }
  std::vector<std::pair<int64_t, uint32_t>> got;
  for (int i = 0; i < table->count; ++i)
    got.emplace_back(table->entries[i].offset, table->entries[i].address);
  ASSERT_GT(expected.size(), 500u);
  ASSERT_LE(expected.size(), size_t(kMaxSymbols));
  EXPECT_EQ(got, expected);
}

TEST(EnclosingSymbol, StrictlyBetweenASymbolAndTheNext) {
  symbol_table table{};
  table.count = 3;
  table.entries[0].address = 0x0;
  table.entries[1].address = 0x100;
  table.entries[2].address = 0x200;
  EXPECT_EQ(find_enclosing_symbol(&table, 0, 0x180), 1);
  EXPECT_EQ(find_enclosing_symbol(&table, 0, 0x100), -1);  // at a symbol's own address
  EXPECT_EQ(find_enclosing_symbol(&table, 0, 0x250), -1);  // beyond the last symbol
  EXPECT_EQ(find_enclosing_symbol(&table, 0, 0), -1);      // no device: pc 0
  EXPECT_EQ(find_enclosing_symbol(&table, 2, 0x180), -1);
  // Not ascending: 0x300, 0x100, 0x400 - pc 0x200 lies after entry 1 only.
  table.entries[0].address = 0x300;
  table.entries[2].address = 0x400;
  EXPECT_EQ(find_enclosing_symbol(&table, 0, 0x200), 1);
}

// The delimiter after the address is shown as a blank while it is one of the first ten
// characters; from the eleventh on the line ends after the address, without a line end.
TEST(InstructionLine, DelimiterAfterTheAddressShownAsOneBlank) {
  const struct {
    const char *line;
    const char *shown;
  } rows[] = {
      {"    180:\t0x12 addi\ta0, a0, 1\n", "    180: 0x12 addi\ta0, a0, 1\n"},  // 9th
      {"     180:\t0x12 addi\n", "     180: 0x12 addi\n"},                      // 10th
      {"      180:\t0x12 addi\n", "      180:"},                                 // 11th
      {"        180:\t0x12 addi\n", "        180:"},                             // 13th
  };
  for (const auto &row : rows) {
    char line[64];
    std::snprintf(line, sizeof line, "%s", row.line);
    ASSERT_TRUE(match_instruction_line(line, 0x180)) << row.line;
    EXPECT_STREQ(line, row.shown);
  }

  char other[] = "    184:\tnop\n";
  EXPECT_FALSE(match_instruction_line(other, 0x180));
  char blank[] = " \t";
  EXPECT_FALSE(match_instruction_line(blank, 0));
}

TEST(InstructionLine, AddressRunningToTheLineEndIsPrintedAsItIs) {
  char alone[] = "180:";
  ASSERT_TRUE(match_instruction_line(alone, 0x180));
  EXPECT_STREQ(alone, "180:");
}

}  // namespace
