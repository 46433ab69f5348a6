// SPDX-License-Identifier: Apache-2.0
// Terminal lines through libedit: emacs-style editing, history with the arrow keys.
#include <editline/readline.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tools/debug/interrupt.h"
#include "tools/debug/line_input.h"

bool input_is_terminal() { return isatty(0) != 0; }

bool read_terminal_line(const char *prompt, std::string *line) {
  char *text = readline(prompt);
  // Ctrl-C at the prompt abandons the line being typed, not the session.
  while (text == nullptr && interrupt_requested()) {
    clear_interrupt();
    std::printf("\n");
    text = readline(prompt);
  }
  if (text == nullptr) return false;
  *line = text;
  std::free(text);
  if (!line->empty()) add_history(line->c_str());
  return true;
}
