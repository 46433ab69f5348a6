// SPDX-License-Identifier: Apache-2.0
// Reading the session's command lines: with line editing and history on a terminal.  One
// backend per file: line_input_libedit.cpp (libedit), line_input_plain.cpp (standard input;
// on Windows the console itself edits the line and keeps its history).
#ifndef ORVANE_DEBUG_LINE_INPUT_H
#define ORVANE_DEBUG_LINE_INPUT_H

#include <cstdio>
#include <string>

// True when standard input is a terminal (the session then prompts).
bool input_is_terminal();
// The next line from the terminal, shown after prompt, without its line end; false at the
// end of input.  A line that is not empty joins the history.
bool read_terminal_line(const char *prompt, std::string *line);
// The next line of a script file or of standard input that is no terminal.
bool read_script_line(std::FILE *file, std::string *line);

#endif
