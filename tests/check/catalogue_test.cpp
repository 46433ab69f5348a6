// The message catalogue against the program's sources: every numbered message the program
// can print is in the catalogue with exactly its text, and a number means one kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/check/message_catalogue.h"

namespace fs = std::filesystem;

namespace {

// The string literals of a C++ source with their escapes undone, adjacent literals joined,
// comments and character literals skipped.
std::vector<std::string> string_literals(const std::string &code) {
  std::vector<std::string> literals;
  std::string current;
  bool joining = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '/' && i + 1 < code.size() && code[i + 1] == '/') {
      i = code.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '*') {
      i = code.find("*/", i + 2);
      if (i == std::string::npos) break;
      ++i;
    } else if (c == '\'') {
      for (++i; i < code.size() && code[i] != '\''; ++i) {
        if (code[i] == '\\') ++i;
      }
    } else if (c == '"') {
      if (!joining) current.clear();
      for (++i; i < code.size() && code[i] != '"'; ++i) {
        if (code[i] != '\\' || i + 1 >= code.size()) {
          current += code[i];
          continue;
        }
        const char e = code[++i];
        current += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      }
      // A literal followed (after blanks) by another one continues in it.
      std::size_t next = code.find_first_not_of(" \t\r\n", i + 1);
      joining = next != std::string::npos && code[next] == '"';
      if (!joining) literals.push_back(current);
    }
  }
  return literals;
}

// The number of a literal that opens like a numbered message ("\n [42]: ...", " [0]:..."),
// or -1.
int message_number(const std::string &literal) {
  std::size_t i = 0;
  if (i < literal.size() && literal[i] == '\n') ++i;
  if (i < literal.size() && literal[i] == ' ') ++i;
  if (i >= literal.size() || literal[i] != '[') return -1;
  const std::size_t digits = ++i;
  while (i < literal.size() && literal[i] >= '0' && literal[i] <= '9') ++i;
  if (i == digits || literal.compare(i, 2, "]:") != 0) return -1;
  return std::stoi(literal.substr(digits, i - digits));
}

TEST(MessageCatalogue, HoldsEveryNumberedMessageOfTheProgramWithOneKindPerNumber) {
  std::size_t count = 0;
  const catalogue_entry *entries = catalogue_entries(&count);
  std::set<std::pair<int, std::string>> catalogued;
  std::map<int, message_kind> kinds;
  for (std::size_t i = 0; i < count; ++i) {
    catalogued.insert({entries[i].number, entries[i].format});
    auto known = kinds.emplace(entries[i].number, entries[i].kind);
    if (entries[i].number != kUnnumbered) {
      EXPECT_EQ(known.first->second, entries[i].kind) << "number " << entries[i].number;
    }
  }

  int found = 0;
  std::string missing;
  // Every folder the program is built from (base/ holds the printer once it exists).
  for (const char *folder : {"base", "cli", "engine", "control"}) {
    const fs::path dir = fs::path(ORVANE_SOURCE_DIR) / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto &file : fs::directory_iterator(dir)) {
      const std::string ext = file.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      std::ifstream in(file.path(), std::ios::binary);
      std::stringstream code;
      code << in.rdbuf();
      for (const std::string &literal : string_literals(code.str())) {
        const int number = message_number(literal);
        if (number < 0) continue;
        ++found;
        if (!catalogued.count({number, literal}))
          missing += "\n  " + file.path().filename().string() + ": \"" + literal + "\"";
      }
    }
  }
  EXPECT_GT(found, 150) << "the scan found too few messages to be reading the sources";
  EXPECT_TRUE(missing.empty()) << "numbered messages missing from "
                                  "tools/check/message_catalogue.cpp:" << missing;
}

TEST(MessageCatalogue, ClassifiesLinesByNumberOrByTheirFixedText) {
  struct Case {
    const char *line;
    int number;
    message_kind kind;
  };
  const Case cases[] = {
      {" [42]: no usb device!", 42, message_kind::failure},
      {" [161]: wait for ack timeout: 2000 ms \t\r", 161, message_kind::failure},
      {" [24]: invalid rc cmd!", 24, message_kind::refusal},
      {" [0]:invaild cmd! \t", 0, message_kind::refusal},
      {" [210]: more than 2000 symbols in .lst, the rest ignored! \t", 210,
       message_kind::progress},
      {" 1024 \t bytes have finished! \t", kUnnumbered, message_kind::progress},
      {" Flash Page Program at address 1f00 \t", kUnnumbered, message_kind::progress},
      {" Flash Page Program Error at address 1f00 \t", kUnnumbered, message_kind::failure},
      {" Flash Sector (4K) Erase Error: 3000 \t", kUnnumbered, message_kind::failure},
      {" Write File err! \t\t\t", kUnnumbered, message_kind::failure},
      {" Total Time: 12 ms \t", kUnnumbered, message_kind::result},
      {" Stop MCU, PC is : 0x000134 \t", kUnnumbered, message_kind::result},
      // Not a message: a dump line, and text that only resembles one.
      {" 008000:  00 01 02 03 04 05 06 07  08 09 ", kUnnumbered, message_kind::result},
      {" Flash Page Program at address zz \t", kUnnumbered, message_kind::result},
      {" [12a]: x", kUnnumbered, message_kind::result},
  };
  for (const Case &c : cases) {
    const classified_line got = classify_line(c.line);
    EXPECT_EQ(got.number, c.number) << c.line;
    EXPECT_EQ(kind_name(got.kind), kind_name(c.kind)) << c.line;
  }
}

}  // namespace
