// SPDX-License-Identifier: Apache-2.0
#include "base/child_process.h"
#include "tools/check/chip_hint.h"

#include <cstdio>
#include <cstdlib>

#include "tools/check/platform.h"

namespace {

void collect_output(const char *bytes, std::size_t count, void *context) {
  static_cast<std::string *>(context)->append(bytes, count);
}

std::string hex_word(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

}  // namespace

bool identity_from_dump(const std::string &output, uint32_t *identity) {
  // "\n 00007e:  10 47 00 00 ": the address label, two blanks, then "%.2x " per byte.
  const std::size_t label = output.find(" 00007e:  ");
  if (label == std::string::npos) return false;
  uint32_t word = 0;
  std::size_t at = label + 10;
  for (int i = 0; i < 4; ++i, at += 3) {
    unsigned byte = 0;
    if (at + 3 > output.size() || output[at + 2] != ' ' ||
        std::sscanf(output.substr(at, 2).c_str(), "%2x", &byte) != 1)
      return false;
    word |= static_cast<uint32_t>(byte) << (8 * i);
  }
  *identity = word;
  return true;
}

std::string config_beside(const std::string &orvane) {
  // Orvane reads the table from ORVANE_CONFIG_DIR when that is set.
  const char *chosen = std::getenv("ORVANE_CONFIG_DIR");
  if (chosen != nullptr && *chosen != '\0') return std::string(chosen) + "/config.ini";
  const std::string dir = real_directory_of(orvane);
  return dir.empty() ? std::string() : dir + "/config.ini";
}

std::string identity_hint(const std::string &named, uint32_t identity,
                          const std::vector<chip_row> &rows) {
  uint32_t expected = 0;
  if (!chip_identity(named, &expected)) return std::string();
  const chip_row *attached = chip_reporting(rows, identity);
  const chip_row *wanted = chip_reporting(rows, expected);
  if (attached != nullptr && attached == wanted) return std::string();
  if (attached == nullptr && identity == expected) return std::string();
  std::string hint = "the attached chip reports identity " + hex_word(identity);
  if (attached != nullptr) hint += " (chip " + attached->name + ")";
  return hint + ", not the " + hex_word(expected) + " of chip " + named +
         ": name the chip attached";
}

std::string chip_hint(const std::string &orvane, const std::vector<std::string> &command,
                      const command_shape &shape) {
  if (!shape.character_form || command.empty()) return std::string();
  std::vector<std::string> args = {command[0], "rc", "7e", "-s", "4"};
  if (shape.usb) args.push_back("-u");
  std::string output;
  const child_result child = run_program(orvane, args, collect_output, &output);
  uint32_t identity = 0;
  if (!child.started || !child.ended_normally || !identity_from_dump(output, &identity))
    return std::string();
  std::vector<chip_row> rows;
  read_chip_table(config_beside(orvane), &rows);
  return identity_hint(command[0], identity, rows);
}
