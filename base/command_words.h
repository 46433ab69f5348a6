// SPDX-License-Identifier: Apache-2.0
// The fifteen words of Orvane's character commands, in the order the program compares them.
// The companions tell a command word from an unknown one with the same list.
#ifndef ORVANE_BASE_COMMAND_WORDS_H
#define ORVANE_BASE_COMMAND_WORDS_H

#include <cstring>

constexpr const char *kCharacterWords[] = {"pc", "bkp", "sws", "step", "stop", "run", "rst", "ac",
                                           "wf", "rf",  "wc",  "rc",   "wa",   "ra",  "ini"};

inline bool is_character_word(const char *word) {
  for (const char *candidate : kCharacterWords)
    if (std::strcmp(word, candidate) == 0) return true;
  return false;
}

#endif
