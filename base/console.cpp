// SPDX-License-Identifier: Apache-2.0
// The console message printer and the millisecond wait.
#include "base/console.h"

#include <cstdarg>
#include <cstdio>

#include "base/platform.h"

namespace {

// The formats are the message table's (base/message_table.cpp), never text from outside;
// the table's tests hold each line's conversions to what its callers pass.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
int print_arguments(const char *format, va_list arguments) {
  int written = std::vprintf(format, arguments);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  // Tools driving this program read its lines through a pipe: every line must arrive before
  // the next step starts, not when the buffer happens to fill.
  std::fflush(stdout);
  return written;
}

}  // namespace

int print_message(const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = print_arguments(format, arguments);
  va_end(arguments);
  return written;
}

void say(msg id, ...) {
  va_list arguments;
  va_start(arguments, id);
  print_arguments(message_of(id).format, arguments);
  va_end(arguments);
}

outcome fail(msg id, ...) {
  va_list arguments;
  va_start(arguments, id);
  print_arguments(message_of(id).format, arguments);
  va_end(arguments);
  return id;
}

void wait_ms(uint32_t count) {
  const uint32_t start = clock_ms();
  // Unsigned difference: a wrap of the 32-bit clock does no harm.  The clock alone decides
  // when the wait is over; the sleep only fills the time between, so that a waiting process
  // leaves its core to others (one process per board when many are programmed at once).
  while (static_cast<uint32_t>(clock_ms() - start) < count) {
    sleep_until_clock_ms(start + count);
  }
}
