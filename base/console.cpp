// The console message printer and the millisecond busy wait.
#include "base/console.h"

#include <cstdarg>
#include <cstdio>

#include "base/platform.h"

int print_message(const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = std::vprintf(format, arguments);
  va_end(arguments);
  // Tools driving this program read its lines through a pipe: every line must arrive before
  // the next step starts, not when the buffer happens to fill.
  std::fflush(stdout);
  return written;
}

void wait_ms(uint32_t count) {
  uint32_t start = clock_ms();
  // Unsigned difference: a wrap of the 32-bit clock does no harm.
  while (static_cast<uint32_t>(clock_ms() - start) < count) {
  }
}
