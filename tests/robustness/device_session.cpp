// SPDX-License-Identifier: Apache-2.0
#include "device_session.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace robustness {

Session::Session(const std::string &mode)
    : mode_(mode), sim_("--mode " + mode + " --type 1 --timing zero") {}

harness::RunResult Session::run(std::vector<std::string> words, int timeout_seconds) {
  words.insert(words.begin(), "4710");
  if (mode_ == "usb") words.push_back("-u");
  return harness::run_orvane(install_, words, &sim_, timeout_seconds);
}

harness::RunResult Session::run_companion(std::vector<std::string> words,
                                         const std::vector<std::string> &options) {
  const std::string companion = install_.path("orvane-check");
  std::ifstream present(companion);
  if (!present) {
    std::ifstream from(ORVANE_CHECK_PROGRAM, std::ios::binary);
    std::ofstream to(companion, std::ios::binary);
    to << from.rdbuf();
    to.close();
    chmod(companion.c_str(), 0755);
  }
  words.insert(words.begin(), "4710");
  if (mode_ == "usb") words.push_back("-u");
  std::vector<std::string> argv = {companion};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), words.begin(), words.end());
  return harness::run_with_devices(install_, argv, &sim_, 30);
}

Bytes Session::target(unsigned address, unsigned count) {
  return harness::from_hex(sim_.ctl("mem-read target " + hex_number(address) + " " +
                                    hex_number(count)));
}

Bytes Session::flash(unsigned address, unsigned count) {
  return harness::from_hex(sim_.ctl("flash-read " + hex_number(address) + " " + hex_number(count)));
}

Bytes Session::analog(unsigned address, unsigned count) {
  return harness::from_hex(sim_.ctl("analog-read " + hex_number(address) + " " +
                                    hex_number(count)));
}

bool Session::saw_failed_transfer() {
  return contains(sim_.ctl("trace-raw"), " stall");
}

Bytes dumped_bytes(const std::string &out) {
  Bytes bytes;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 9 || line[0] != ' ' || line[7] != ':') continue;
    std::istringstream words(line.substr(8));
    std::string word;
    while (words >> word) {
      if (word.size() != 2) break;
      bytes.push_back(static_cast<unsigned char>(std::stoul(word, nullptr, 16)));
    }
  }
  return bytes;
}

std::string hex(const Bytes &bytes) { return harness::to_hex(bytes); }

std::string hex_number(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

}  // namespace robustness
