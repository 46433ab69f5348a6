// SPDX-License-Identifier: Apache-2.0
// Reading an Orvane command line the way the program's two grammars do, for the few values
// the companion needs: the option scan starts where the program's starts for that command
// word, and the last occurrence of an option wins.
#include "tools/check/command_shape.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/command_words.h"

namespace {

// Wholly a hexadecimal number, as "bad" or "0x1f" is and "flash" is not.
bool is_hex_number(const std::string &text) {
  std::size_t i = text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0 ? 2 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// Which lines finish a character command.
unsigned character_completion(const std::string &word, const command_shape &shape,
                              uint32_t erase_count) {
  if (word == "wf") {
    if (!shape.image.empty()) return kCompletesDownload;
    return erase_count != 0 ? kCompletesErase : kCompletesFlashWrite;
  }
  if (word == "wc") return shape.image.empty() ? kCompletesMemoryWrite : kCompletesDownload;
  if (word == "wa") return kCompletesMemoryWrite;
  if (word == "rf" || word == "rc" || word == "ra") return kCompletesRead;
  if (word == "rst") return kCompletesReset;
  if (word == "run") return kCompletesRun;
  if (word == "stop") return kCompletesStop;
  if (word == "step") return kCompletesStep;
  if (word == "bkp") return kCompletesBreakpoints;
  if (word == "sws") return kCompletesSingleWire;
  if (word == "ac") return kCompletesActivate;
  if (word == "pc") return kCompletesListing;
  return 0;  // ini: the chip is found in config.ini, nothing more
}

// Which lines finish a numeric command, by code (and object for a write).
unsigned numeric_completion(uint32_t code, uint32_t object) {
  static const unsigned kByCode[] = {
      0, kCompletesDownload, kCompletesErase, kCompletesActivate, 0 /* setting */,
      kCompletesRead, kCompletesMemoryWrite, kCompletesReset, kCompletesRun, kCompletesStop,
      kCompletesStep, kCompletesListing, kCompletesBreakpoints, kCompletesSingleWire,
      kCompletesHelp};
  if (code == 6 && object == 1) return kCompletesFlashWrite;
  return code < sizeof kByCode / sizeof kByCode[0] ? kByCode[code] : 0;
}

uint32_t hex_at(const std::vector<std::string> &args, std::size_t i) {
  return i < args.size() ? static_cast<uint32_t>(read_number(args[i], 16)) : 0;
}

// The size after "-s" of rf, rc and ra: decimal, times 1024 or 1048576 for a last character
// k/K or m/M (32 bits, wrapping as the program's product does).
uint32_t unit_size(const std::string &text) {
  uint32_t size = static_cast<uint32_t>(read_number(text, 10));
  const char last = text.empty() ? '\0' : text.back();
  if (last == 'k' || last == 'K') size *= 1024u;
  if (last == 'm' || last == 'M') size *= 1048576u;
  return size;
}

uint64_t file_size(const std::string &path) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fclose(file);
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

void shape_character(const std::vector<std::string> &args, command_shape *shape) {
  const std::string &word = args[1];
  shape->address = hex_at(args, 2);
  // Where each command's option scan begins (argument 4 or 5 of the program's numbering).
  const std::size_t scan_from = (word == "wc" || word == "wa") ? 4 : 3;
  uint32_t erase_count = 0;
  uint32_t read_size = 0;
  for (std::size_t i = scan_from; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "-u") shape->usb = true;
    if (args[i] == "-i" && has_value) shape->image = args[i + 1];
    if (args[i] == "-e" && has_value) erase_count = hex_at(args, i + 1);
    if (args[i] == "-s" && has_value) read_size = unit_size(args[i + 1]);
  }
  shape->completed_by = character_completion(word, *shape, erase_count);
  if (word == "wf" && !shape->image.empty()) {
    shape->kind = command_kind::flash_download;
  } else if (word == "wf" && erase_count != 0) {
    shape->kind = command_kind::erase;
    shape->total = uint64_t{erase_count} * 4096u;
  } else if (word == "wc" && !shape->image.empty()) {
    shape->kind = command_kind::sram_download;
  } else if (word == "rf" || word == "rc" || word == "ra") {
    shape->kind = command_kind::read;
    shape->total = read_size;
  }
}

// Numeric form: code object address mode row para1 [para2].
void shape_numeric(const std::vector<std::string> &args, command_shape *shape) {
  const uint32_t code = hex_at(args, 0) & 0xff;
  const uint32_t object = hex_at(args, 1) & 0xff;
  shape->completed_by = numeric_completion(code, object);
  // A word where the object goes ("4710 flash ...") is a character command Orvane does not
  // know: read as numbers it would pick a command code from the chip name.  A code 0 is
  // refused by Orvane itself.
  const bool word_in_place = args.size() >= 2 && std::isalpha(static_cast<unsigned char>(args[1][0])) &&
                             !is_hex_number(args[1]);
  shape->unknown_command = read_number(args[0], 16) != 0 && (word_in_place || code == 0 || code > 0xe);
  shape->address = hex_at(args, 2);
  shape->usb = hex_at(args, 3) == 1;
  if (code == 1 && args.size() == 6 && (object == 1 || object == 2)) {
    // "#njj#" in the path stands for a blank.
    std::string path = args[5];
    for (std::size_t at; (at = path.find("#njj#")) != std::string::npos;) path.replace(at, 5, " ");
    shape->image = path;
    shape->kind = object == 1 ? command_kind::flash_download : command_kind::sram_download;
  } else if (code == 2 && args.size() == 6 && object == 1) {
    shape->kind = command_kind::erase;
    shape->total = uint64_t{hex_at(args, 5)} * 4096u;
  } else if (code == 5 && args.size() == 6 && object >= 1 && object <= 4) {
    shape->kind = command_kind::read;
    shape->total = hex_at(args, 5);
  }
}

// The hexadecimal number after the last blank of a line ("... at address 1f00").
bool trailing_hex(const std::string &line, uint32_t *value) {
  std::size_t end = line.find_last_not_of(" \t\r");
  if (end == std::string::npos) return false;
  std::size_t begin = line.find_last_of(" \t:", end);
  begin = begin == std::string::npos ? 0 : begin + 1;
  if (begin > end) return false;
  *value = static_cast<uint32_t>(read_number(line.substr(begin, end - begin + 1), 16));
  return true;
}

bool starts_with(const std::string &text, const char *prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

int32_t read_number(const std::string &text, int base) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  auto digit = [base](char c) {
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : std::isalpha(static_cast<unsigned char>(c))
                ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                : 99;
    return v < base ? v : -1;
  };
  if (base == 16 && i + 2 < text.size() && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X') && digit(text[i + 2]) >= 0)
    i += 2;
  int64_t value = 0;
  for (; i < text.size() && digit(text[i]) >= 0; ++i) {
    value = value * base + digit(text[i]);
    if (value > int64_t{2147483648}) return 0;
  }
  if (negative) value = -value;
  if (value > 2147483647 || value < -int64_t{2147483648}) return 0;
  return static_cast<int32_t>(value);
}

command_shape shape_command(const std::vector<std::string> &args) {
  command_shape shape;
  if (!args.empty() && args[0] == "help") {
    shape.completed_by = kCompletesHelp;
  } else if (args.size() >= 2 && is_character_word(args[1].c_str())) {
    shape.character_form = true;
    shape_character(args, &shape);
  } else if (!args.empty()) {
    shape_numeric(args, &shape);
  }
  if (!shape.image.empty()) shape.total = file_size(shape.image);
  return shape;
}

std::vector<std::string> readback_arguments(const std::vector<std::string> &args,
                                            const command_shape &shape, uint64_t size,
                                            const std::string &out_path) {
  std::vector<std::string> readback = {args[0], "rf", args[2], "-s", std::to_string(size)};
  if (shape.usb) readback.push_back("-u");
  readback.push_back("-o");
  readback.push_back(out_path);
  return readback;
}

bool progress_bytes(const command_shape &shape, const std::string &line, uint64_t *done) {
  const std::size_t finished = line.find(" \t bytes have finished!");
  if (finished != std::string::npos) {
    *done = static_cast<uint64_t>(read_number(line.substr(0, finished), 10));
    return true;
  }
  uint32_t address = 0;
  uint64_t reached = 0;
  if (shape.kind == command_kind::flash_download &&
      starts_with(line, " Flash Page Program at address ") && trailing_hex(line, &address)) {
    reached = uint64_t{address - shape.address} + 256;  // the page just programmed
  } else if (shape.kind == command_kind::flash_download &&
             starts_with(line, " Flash Sector (4K) Erase at address ") &&
             trailing_hex(line, &address)) {
    reached = address - shape.address;  // the sector is erased, not yet programmed
  } else if (shape.kind == command_kind::erase &&
             starts_with(line, " Flash Sector (4K) Erase at address: ") &&
             trailing_hex(line, &address)) {
    reached = uint64_t{address - shape.address} + 4096;
  } else {
    return false;
  }
  *done = shape.total != 0 && reached > shape.total ? shape.total : reached;
  return true;
}
