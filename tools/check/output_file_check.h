// SPDX-License-Identifier: Apache-2.0
// A read that saves to a file (-o) is checked before it starts: a 1 MB flash read takes
// minutes, and Orvane opens its output file only once everything has been read.
#ifndef ORVANE_CHECK_OUTPUT_FILE_CHECK_H
#define ORVANE_CHECK_OUTPUT_FILE_CHECK_H

#include <string>
#include <vector>

// The file a character-form read (rf, rc, ra) saves to: the value of the last "-o" that has
// one, from where the program's option scan begins.  Empty for any other command.
std::string read_output_file(const std::vector<std::string> &args);

// True when the file can be written: an existing one opened for appending (left unchanged),
// or a new one created and removed again.
bool output_file_creatable(const std::string &path);

#endif
