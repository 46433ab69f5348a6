// SPDX-License-Identifier: Apache-2.0
// Terminal lines from standard input: the console's own line editing and history (Windows),
// or the terminal's cooked mode where libedit is not there.
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/debug/interrupt.h"
#include "tools/debug/line_input.h"

bool input_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(0) != 0;
#endif
}

bool read_terminal_line(const char *prompt, std::string *line) {
  for (;;) {
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    if (read_script_line(stdin, line)) return true;
    // Ctrl-C at the prompt abandons the line being typed, not the session.
    if (!interrupt_requested()) return false;
    clear_interrupt();
    std::clearerr(stdin);
    std::printf("\n");
  }
}
