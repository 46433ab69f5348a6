// SPDX-License-Identifier: Apache-2.0
// A firmware file as the bytes it loads and the addresses they go to.  Files that carry their
// own addresses (ELF, Intel HEX, Motorola S-record) are told apart from a raw binary by their
// content, never by the file name.
#ifndef ORVANE_CHECK_FIRMWARE_IMAGE_H
#define ORVANE_CHECK_FIRMWARE_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class image_format { raw, elf, intel_hex, srecord };

// Bytes that load at consecutive addresses from address on.
struct image_segment {
  uint32_t address = 0;
  std::string bytes;
};

struct firmware_image {
  image_format format = image_format::raw;
  std::vector<image_segment> segments;  // in file order; they may overlap (the plan refuses it)
};

// ELF by its magic; a text format when its first line is a well-formed record of that format
// (hex digits only, whole bytes); anything else is a raw binary.
image_format recognise_format(const std::string &file);

// "ELF", "Intel HEX", "S-record", "raw binary".
const char *format_name(image_format format);

// Reads a file of a format that carries addresses.  False, with *error saying where (the line
// or the segment) and what is wrong, for a malformed file; a raw binary is an error here.
bool read_firmware_image(const std::string &file, firmware_image *image, std::string *error);

// --- Shared by the readers ---------------------------------------------------------------------

// Adds bytes at address, joining the last segment when they follow on from it.  False when
// they would run past the 32-bit address space.
bool append_segment_bytes(std::vector<image_segment> *segments, uint64_t address,
                          const uint8_t *bytes, std::size_t count);

// Text records: the file's lines without line ends and trailing blanks, numbered from 1;
// blank lines are left out.
struct text_line {
  std::size_t number;
  std::string text;
};
std::vector<text_line> text_lines(const std::string &file);

// Hex digit pairs to bytes; false for an odd count or a character that is not a hex digit.
bool decode_hex_bytes(const std::string &text, std::size_t from, std::vector<uint8_t> *bytes);

#endif
