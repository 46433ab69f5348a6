// SPDX-License-Identifier: Apache-2.0
// The companion's parts that turn text into decisions: reading Orvane's command line,
// counting progress, escaping JSON, comparing a read-back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/check/command_shape.h"
#include "tools/check/flash_bounds.h"
#include "tools/check/json_text.h"
#include "tools/check/options.h"
#include "tools/check/progress_meter.h"
#include "tools/check/verify_compare.h"

namespace {

TEST(CommandShape, ReadsKindAddressAndProgressTotalAsOrvaneWould) {
  struct Case {
    std::vector<std::string> args;
    command_kind kind;
    uint32_t address;
    uint64_t total;
    bool usb;
  };
  const Case cases[] = {
      {{"4710", "wf", "1000", "-e", "3", "-u"}, command_kind::erase, 0x1000, 3 * 4096, true},
      {{"4710", "wf", "0", "-e", "512k"}, command_kind::erase, 0, 0x512 * 4096, false},
      {{"4710", "rf", "0", "-s", "12k", "-u", "-o", "x"}, command_kind::read, 0, 12288, true},
      {{"4710", "rc", "8000", "-s", "2M"}, command_kind::read, 0x8000, 2097152, false},
      // The wc scan starts one argument later: "-u" at argument 4 is the unused data word.
      {{"4710", "wc", "8000", "-u", "-s", "1"}, command_kind::other, 0x8000, 0, false},
      {{"5", "1", "0x100", "1", "1", "400"}, command_kind::read, 0x100, 1024, true},
      {{"2", "1", "0", "4", "1", "2"}, command_kind::erase, 0, 8192, false},
      {{"4710", "wf", "-i"}, command_kind::other, 0, 0, false},
  };
  for (const Case &c : cases) {
    const command_shape shape = shape_command(c.args);
    const std::string name = c.args[0] + " " + c.args[1] + " " + c.args[2];
    EXPECT_EQ(static_cast<int>(shape.kind), static_cast<int>(c.kind)) << name;
    EXPECT_EQ(shape.address, c.address) << name;
    EXPECT_EQ(shape.total, c.total) << name;
    EXPECT_EQ(shape.usb, c.usb) << name;
  }
}

// Which line finishes each command, and which command words Orvane would silently ignore.
TEST(CommandShape, KnowsTheLineThatFinishesEachCommandAndRefusesUnknownWords) {
  struct Case {
    std::vector<std::string> args;
    unsigned completed_by;
    bool unknown;
  };
  const Case cases[] = {
      {{"4710", "wf", "0", "-i", "f.bin"}, kCompletesDownload, false},
      {{"4710", "wc", "8000", "0", "-i", "f.bin"}, kCompletesDownload, false},
      {{"4710", "wf", "0", "-e", "1"}, kCompletesErase, false},
      {{"4710", "wf", "0", "5a", "-s", "1"}, kCompletesFlashWrite, false},
      {{"4710", "wc", "8000", "5a", "-s", "1"}, kCompletesMemoryWrite, false},
      {{"4710", "ra", "0", "-s", "4"}, kCompletesRead, false},
      {{"4710", "stop", "-u"}, kCompletesStop, false},
      {{"4710", "pc", "-i", "a.lst"}, kCompletesListing, false},
      {{"4710", "ini"}, 0, false},
      {{"help"}, kCompletesHelp, false},
      {{"6", "1", "0", "1", "1", "1", "5a"}, kCompletesFlashWrite, false},
      {{"6", "4", "0", "1", "1", "1", "5a"}, kCompletesMemoryWrite, false},
      {{"7", "5", "0", "1", "1"}, kCompletesReset, false},
      {{"4", "0", "0", "1", "1"}, 0, false},
      // A typo of a command word: read as numeric, 4710 would be command 0x10.
      {{"4710", "flash", "0", "-i", "f.bin", "-u"}, 0, true},
      {{"4701", "flsh", "0"}, kCompletesDownload, true},
      {{"f", "5", "0", "1", "1"}, 0, true},
      {{"100", "5", "0", "1", "1"}, 0, true},
  };
  for (const Case &c : cases) {
    const command_shape shape = shape_command(c.args);
    const std::string name = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
    EXPECT_EQ(shape.completed_by, c.completed_by) << name;
    EXPECT_EQ(shape.unknown_command, c.unknown) << name;
  }
}

TEST(CommandShape, CountsProgressLinesTowardsTheTotal) {
  command_shape download;
  download.kind = command_kind::flash_download;
  download.address = 0x1000;
  download.total = 5000;
  command_shape erase;
  erase.kind = command_kind::erase;
  erase.address = 0x2000;
  erase.total = 8192;
  struct Case {
    const command_shape *shape;
    const char *line;
    bool counted;
    uint64_t done;
  };
  const Case cases[] = {
      {&download, " Flash Page Program at address 1400 \t", true, 0x400 + 256},
      {&download, " Flash Sector (4K) Erase at address 2000 \t", true, 4096},
      {&download, " Flash Page Program at address 2300 \t", true, 5000},  // capped at the image
      {&download, " 3072 \t bytes have finished! \t", true, 3072},
      {&download, " Flash Page Program Error at address 1400 \t", false, 0},
      {&erase, " Flash Sector (4K) Erase at address: 3000 \t", true, 8192},
      {&erase, " Flash Page Program at address 2000 \t", false, 0},
  };
  for (const Case &c : cases) {
    uint64_t done = 0;
    EXPECT_EQ(progress_bytes(*c.shape, c.line, &done), c.counted) << c.line;
    if (c.counted) {
      EXPECT_EQ(done, c.done) << c.line;
    }
  }
}

TEST(JsonText, EscapesEveryByteThatWouldBreakAJsonString) {
  struct Case {
    std::string bytes;
    const char *json;
  };
  const Case cases[] = {
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {std::string("\x01\t\n\r\x1b\x7f", 6), "\"\\u0001\\t\\n\\r\\u001b\\u007f\""},
      {std::string("\0x", 2), "\"\\u0000x\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},                 // UTF-8 passes
      {"\xff\xc3", "\"\\u00ff\\u00c3\""},                  // stray bytes: Latin-1
      {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},       // a surrogate is no UTF-8
      {"\xe2\x82", "\"\\u00e2\\u0082\""},                  // cut short
  };
  for (const Case &c : cases) {
    std::string out;
    append_json_string(&out, c.bytes);
    EXPECT_EQ(out, c.json);
  }
}

TEST(ProgressMeter, ShowsPercentBytesRateAndTimeLeft) {
  EXPECT_EQ(progress_text("download", 262144, 1048576, 2000),
            "download  25%  262144/1048576 bytes  128.0 KB/s  0:06 left");
  EXPECT_EQ(progress_text("read", 2048, 0, 1000), "read  2048 bytes  2.0 KB/s");
  EXPECT_EQ(progress_text("read", 0, 4096, 0), "read   0%  0/4096 bytes");
}

TEST(VerifyCompare, ReportsTheFirstDifferingAddressAndTheCount) {
  const std::string image = "abcdefgh";
  struct Case {
    std::string readback;
    uint64_t differing;
    uint32_t first;
  };
  const Case cases[] = {
      {"abcdefgh", 0, 0},
      {"abcXefgY", 2, 0x1003},
      {"abcde", 3, 0x1005},  // a short read-back: the missing bytes differ
  };
  for (const Case &c : cases) {
    const verify_result r = compare_images(image, c.readback, 0x1000);
    EXPECT_EQ(r.bytes, 8u);
    EXPECT_EQ(r.differing, c.differing) << c.readback;
    if (c.differing != 0) {
      EXPECT_EQ(r.first_address, c.first) << c.readback;
    }
  }
}

TEST(Options, SeparateTheCompanionsOptionsFromOrvanesCommand) {
  struct Case {
    std::vector<const char *> argv;
    bool ok;
    std::vector<std::string> command;
  };
  const Case cases[] = {
      {{"c", "--verify", "--orvane", "/x/Orvane", "4710", "wf", "0", "-i", "f.bin"}, true,
       {"4710", "wf", "0", "-i", "f.bin"}},
      {{"c", "--", "--json", "rst"}, true, {"--json", "rst"}},
      {{"c", "5", "1", "0", "--json"}, true, {"5", "1", "0", "--json"}},
      {{"c", "--bogus", "4710", "rst"}, false, {}},
      {{"c", "--orvane"}, false, {}},
      {{"c", "--json"}, false, {}},
  };
  for (const Case &c : cases) {
    std::vector<char *> argv;
    for (const char *a : c.argv) argv.push_back(const_cast<char *>(a));
    check_options options;
    std::string error;
    EXPECT_EQ(parse_options(static_cast<int>(argv.size()), argv.data(), &options, &error), c.ok)
        << c.argv[1];
    if (c.ok) {
      EXPECT_EQ(options.command, c.command) << c.argv[1];
    }
  }
}

// A download or erase that would not end within the flash is caught before Orvane runs;
// one that ends exactly at the end is not.
TEST(FlashBounds, RefusesOnlyWhatEndsPastTheFlash) {
  struct Case {
    command_kind kind;
    uint32_t address;
    uint64_t total;
    bool past;
  };
  const Case cases[] = {
      {command_kind::flash_download, 0xff000, 0x1000, false},
      {command_kind::flash_download, 0xff001, 0x1000, true},
      {command_kind::flash_download, 0x100000, 0, true},       // image size unknown
      {command_kind::flash_download, 0xffffffff, 0x100, true},  // no 32-bit wrap
      {command_kind::erase, 0xfffff, 0x1000, false},            // the sector that holds it
      {command_kind::erase, 0x100000, 0x1000, true},
      {command_kind::erase, 0x0, 0x101000, true},
      {command_kind::read, 0x200000, 0x1000, false},            // reads are Orvane's concern
  };
  for (const Case &c : cases) {
    command_shape shape;
    shape.kind = c.kind;
    shape.address = c.address;
    shape.total = c.total;
    std::string why;
    EXPECT_EQ(runs_past_flash(shape, 0x100000, &why), c.past) << std::hex << c.address;
  }
  uint64_t size = 0;
  for (const char *bad : {"", "0", "-1", "1G", "1M2", "0x100000001"}) {
    EXPECT_FALSE(parse_flash_size(bad, &size)) << bad;
  }
  for (const char *good : {"1048576", "0x100000", "1M", "1024k"}) {
    EXPECT_TRUE(parse_flash_size(good, &size) && size == 0x100000) << good;
  }
}

}  // namespace
