// SPDX-License-Identifier: Apache-2.0
// The program Orvane: one command line, one operation.
#include "cli/entry.h"

int main(int argc, char **argv) { return orvane_main(argc, argv); }
