// SPDX-License-Identifier: Apache-2.0
#include "tools/check/firmware_image.h"

#include <cstring>

#include "tools/check/elf_reader.h"
#include "tools/check/intel_hex.h"
#include "tools/check/srec.h"

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first line, with a CR before its line feed left out.
std::string first_line(const std::string &file) {
  std::size_t end = file.find('\n');
  std::string line = file.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool all_hex_pairs(const std::string &line, std::size_t from) {
  if ((line.size() - from) % 2 != 0) return false;
  for (std::size_t i = from; i < line.size(); ++i) {
    if (hex_value(line[i]) < 0) return false;
  }
  return true;
}

}  // namespace

image_format recognise_format(const std::string &file) {
  if (file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0) return image_format::elf;
  const std::string line = first_line(file);
  // The shortest records: ":00000001FF" and "S9030000FC".
  if (line.size() >= 11 && line[0] == ':' && all_hex_pairs(line, 1)) return image_format::intel_hex;
  if (line.size() >= 10 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9' &&
      all_hex_pairs(line, 2))
    return image_format::srecord;
  return image_format::raw;
}

const char *format_name(image_format format) {
  switch (format) {
    case image_format::elf: return "ELF";
    case image_format::intel_hex: return "Intel HEX";
    case image_format::srecord: return "S-record";
    default: return "raw binary";
  }
}

bool read_firmware_image(const std::string &file, firmware_image *image, std::string *error) {
  image->format = recognise_format(file);
  image->segments.clear();
  switch (image->format) {
    case image_format::elf: return read_elf(file, &image->segments, error);
    case image_format::intel_hex: return read_intel_hex(file, &image->segments, error);
    case image_format::srecord: return read_srec(file, &image->segments, error);
    default: *error = "a raw binary carries no addresses"; return false;
  }
}

bool append_segment_bytes(std::vector<image_segment> *segments, uint64_t address,
                          const uint8_t *bytes, std::size_t count) {
  if (address + count > (uint64_t{1} << 32)) return false;
  if (count == 0) return true;
  if (segments->empty() ||
      segments->back().address + uint64_t{segments->back().bytes.size()} != address) {
    segments->push_back(image_segment{static_cast<uint32_t>(address), std::string()});
  }
  segments->back().bytes.append(reinterpret_cast<const char *>(bytes), count);
  return true;
}

std::vector<text_line> text_lines(const std::string &file) {
  std::vector<text_line> lines;
  std::size_t number = 0;
  for (std::size_t pos = 0; pos < file.size();) {
    std::size_t end = file.find('\n', pos);
    if (end == std::string::npos) end = file.size();
    ++number;
    std::string text = file.substr(pos, end - pos);
    const std::size_t last = text.find_last_not_of(" \t\r");
    text.erase(last == std::string::npos ? 0 : last + 1);
    if (!text.empty()) lines.push_back(text_line{number, text});
    pos = end + 1;
  }
  return lines;
}

bool decode_hex_bytes(const std::string &text, std::size_t from, std::vector<uint8_t> *bytes) {
  bytes->clear();
  if (from > text.size() || (text.size() - from) % 2 != 0) return false;
  for (std::size_t i = from; i < text.size(); i += 2) {
    const int high = hex_value(text[i]);
    const int low = hex_value(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}
