// SPDX-License-Identifier: Apache-2.0
// Orvane's lines as the companion reads them with the program's own table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tools/check/line_kind.h"

namespace {

// A number identifies a place, and a place has one kind: the companion judges a numbered
// line by its number alone.
TEST(LineKind, EveryNumberHasOneKind) {
  std::size_t count = 0;
  const message_entry *table = message_table(&count);
  std::map<int, message_kind> kinds;
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].number == kUnnumbered) continue;
    auto known = kinds.emplace(table[i].number, table[i].kind);
    EXPECT_EQ(kind_name(known.first->second), kind_name(table[i].kind))
        << "number " << table[i].number;
  }
}

TEST(LineKind, ClassifiesByNumberOrByTheFixedText) {
  struct Case {
    const char *line;
    int number;
    message_kind kind;
    unsigned completes;
  };
  const unsigned kText = kCompletesListing | kCompletesHelp;
  const Case cases[] = {
      {" [42]: no usb device!", 42, message_kind::failure, 0},
      {" [161]: wait for ack timeout: 2000 ms \t\r", 161, message_kind::failure, 0},
      {" [24]: invalid rc cmd!", 24, message_kind::refusal, 0},
      {" [0]:invaild cmd! \t", 0, message_kind::refusal, 0},
      {" [210]: more than 2000 symbols in .lst, the rest ignored! \t", 210,
       message_kind::progress, 0},
      // A number the table does not know is never taken for success.
      {" [999]: all fine", 999, message_kind::failure, 0},
      {" 1024 \t bytes have finished! \t", kUnnumbered, message_kind::progress, 0},
      {" Flash Page Program at address 1f00 \t", kUnnumbered, message_kind::progress, 0},
      {" Flash Page Program Error at address 1f00 \t", kUnnumbered, message_kind::failure, 0},
      {" Flash Sector (4K) Erase Error: 3000 \t", kUnnumbered, message_kind::failure, 0},
      {" Write File err! \t\t\t", kUnnumbered, message_kind::failure, 0},
      {" Total Time: 12 ms \t", kUnnumbered, message_kind::completion,
       kCompletesErase | kCompletesFlashWrite},
      {" Stop MCU, PC is : 0x000134 \t", kUnnumbered, message_kind::completion, kCompletesStop},
      {" 008000:  00 01 02 03 04 05 06 07  08 09 ", kUnnumbered, message_kind::completion,
       kCompletesRead},
      {" All 2048 bytes have been saved! \t", kUnnumbered, message_kind::completion,
       kCompletesRead},
      // Text that only resembles a line of ours is plain text (a listing line).
      {" Flash Page Program at address zz \t", kUnnumbered, message_kind::completion, kText},
      {" [12a]: x", kUnnumbered, message_kind::completion, kText},
  };
  for (const Case &c : cases) {
    const classified_line got = classify_line(c.line);
    EXPECT_EQ(got.number, c.number) << c.line;
    EXPECT_EQ(kind_name(got.kind), kind_name(c.kind)) << c.line;
    EXPECT_EQ(got.completes, c.completes) << c.line;
  }
  EXPECT_TRUE(classify_line("\r").blank);
}

}  // namespace
