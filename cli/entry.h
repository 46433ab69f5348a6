// SPDX-License-Identifier: Apache-2.0
// The program's entry: argument count, help, config.ini, grammar choice.
#ifndef ORVANE_CLI_ENTRY_H
#define ORVANE_CLI_ENTRY_H

// The whole run of one command line; returns the exit code.
int orvane_main(int argc, char **argv);

// As orvane_main, with config.ini looked up in the given directory instead of the program's
// own (tests run the grammars against a config.ini of their choosing).
int orvane_main_in(const char *directory, int argc, char **argv);

#endif
