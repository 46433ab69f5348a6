// SPDX-License-Identifier: Apache-2.0
// Small helpers shared by the download and erase transcript tests.
#ifndef ORVANE_TESTS_CONTROL_DOWNLOAD_SUPPORT_H
#define ORVANE_TESTS_CONTROL_DOWNLOAD_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"

namespace dltest {

// An image whose bytes differ from page to page and from erased flash (never 0xff).
inline std::vector<unsigned char> make_image(size_t size, unsigned seed = 1) {
  std::vector<unsigned char> image(size);
  for (size_t i = 0; i < size; ++i) {
    image[i] = static_cast<unsigned char>((i * 7 + (i >> 8) * 13 + seed) % 255);
  }
  return image;
}

inline std::string save_image(const harness::Install &install, const std::string &name,
                              const std::vector<unsigned char> &image) {
  std::string path = install.path(name);
  harness::write_file(path, std::string(image.begin(), image.end()));
  return path;
}

inline std::string hex_of(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

// Simulated flash, as bytes.
inline std::vector<unsigned char> flash_bytes(harness::Simulator &sim, uint32_t address,
                                              uint32_t length) {
  return harness::from_hex(sim.ctl("flash-read " + hex_of(address) + " " + hex_of(length)));
}

// The trace lines that begin with prefix ("writer ", "w ", "vw "), in order.
inline std::vector<std::string> trace_lines(harness::Simulator &sim, const std::string &prefix) {
  std::vector<std::string> picked;
  for (const auto &line : sim.trace()) {
    if (line.compare(0, prefix.size(), prefix) == 0) picked.push_back(line);
  }
  return picked;
}

inline std::vector<std::string> words_of(const std::string &line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// Target address of the first write of 256 bytes: direct ("w s|l ADDR HEX") in usb mode,
// over Vlane ("vw ADDR HEX") in evk mode.  The download writes its pages to the flash
// writer's page buffer, so this is where that buffer lies.
inline std::string first_page_write(harness::Simulator &sim, bool usb) {
  for (const auto &line : sim.trace()) {
    auto words = words_of(line);
    size_t at = usb ? 2 : 1;
    if (words.size() <= at + 1 || words[0] != (usb ? "w" : "vw")) continue;
    if (words[at + 1].size() == 512) return words[at];
  }
  return "";
}

// 1-based position, among the requests the attached device received, of the request whose
// trace line begins with prefix: the (skip + 1)th such request, or the last one when skip is
// negative; 0 when absent.  A fault "stall N" (N in hex) set before the same run again then
// fails exactly that request.
inline int request_number(harness::Simulator &sim, const std::string &prefix, int skip) {
  int number = 0;
  int found = 0;
  for (const auto &line : sim.trace()) {
    if (line.compare(0, 2, "w ") != 0 && line.compare(0, 2, "r ") != 0) continue;
    ++number;
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    found = number;
    if (skip >= 0 && skip-- == 0) return found;
  }
  return skip < 0 ? found : 0;
}

inline std::string stall_at(harness::Simulator &sim, const std::string &prefix, int skip) {
  return "fault stall " + hex_of(static_cast<uint32_t>(request_number(sim, prefix, skip)));
}

}  // namespace dltest

#endif
