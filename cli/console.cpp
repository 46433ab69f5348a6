// The console message printer, the millisecond busy wait and the path substitution.
#include "cli/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/platform.h"

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

namespace {

constexpr std::size_t kReplaceBufferSize = 256;
constexpr std::size_t kReplaceMaxLength = kReplaceBufferSize - 1;
// A replacement that recreates the pattern would otherwise substitute for ever.
constexpr int kReplaceMaxPasses = 1024;

void copy_bounded(char *destination, const char *source, std::size_t length) {
  if (length > kReplaceMaxLength) length = kReplaceMaxLength;
  std::memmove(destination, source, length);  // the text may be this buffer itself
  destination[length] = '\0';
}

}  // namespace

const char *replace_all(const char *text, const char *pattern, const char *replacement) {
  // A buffer of static storage rather than a heap block nobody frees: the program needs one
  // per run, and it stays reachable until the process ends.
  static char result[kReplaceBufferSize];
  // A text longer than the buffer is cut at 255 characters rather than written past it.
  copy_bounded(result, text, std::strlen(text));

  std::size_t pattern_length = std::strlen(pattern);
  if (pattern_length == 0) return result;
  std::size_t replacement_length = std::strlen(replacement);

  for (int pass = 0; pass < kReplaceMaxPasses; ++pass) {
    char *found = std::strstr(result, pattern);
    if (found == nullptr) break;
    std::size_t before = static_cast<std::size_t>(found - result);
    std::size_t after = std::strlen(found + pattern_length);
    std::size_t new_length = before + replacement_length + after;
    char *joined = static_cast<char *>(std::malloc(new_length + 1));
    if (joined == nullptr) break;
    std::memcpy(joined, result, before);
    std::memcpy(joined + before, replacement, replacement_length);
    std::memcpy(joined + before + replacement_length, found + pattern_length, after + 1);
    copy_bounded(result, joined, new_length);
    std::free(joined);
    // Once the result had to be cut, further passes would only work on a damaged text.
    if (new_length > kReplaceMaxLength) break;
  }
  return result;
}
