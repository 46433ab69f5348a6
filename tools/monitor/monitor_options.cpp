// SPDX-License-Identifier: Apache-2.0
#include "monitor_options.h"

#include <cstdio>
#include <cstring>

#include "chip_reset.h"
#include "text_match.h"

namespace {

constexpr uint64_t kLongestRunMs = 7ull * 24 * 3600 * 1000;

// "--name VALUE" or "--name=VALUE".  *index moves past what was taken.  Returns false when
// argv[*index] is not this option; a missing value is reported through *missing.
bool option_value(int argc, char **argv, int *index, const char *name, const char **value,
                  bool *missing) {
  const char *arg = argv[*index];
  size_t len = strlen(name);
  if (strncmp(arg, name, len) != 0) return false;
  if (arg[len] == '=') {
    *value = arg + len + 1;
    return true;
  }
  if (arg[len] != '\0') return false;
  if (*index + 1 >= argc) {
    *missing = true;
    return true;
  }
  *value = argv[++*index];
  return true;
}

}  // namespace

bool parse_seconds(const char *text, uint64_t *milliseconds) {
  uint64_t whole = 0;
  const char *p = text;
  if (*p < '0' || *p > '9') return false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    whole = whole * 10 + uint64_t(*p - '0');
    if (whole * 1000 > kLongestRunMs) return false;
  }
  uint64_t fraction = 0;
  if (*p == '.') {
    ++p;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (digits == 3) return false;
      fraction = fraction * 10 + uint64_t(*p - '0');
    }
    if (digits == 0) return false;
    for (; digits < 3; ++digits) fraction *= 10;
  }
  if (*p != '\0') return false;
  *milliseconds = whole * 1000 + fraction;
  return *milliseconds <= kLongestRunMs;
}

bool parse_monitor_options(int argc, char **argv, monitor_options *options, char *error,
                           size_t error_size) {
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const char *value = nullptr;
    bool missing = false;
    if (strcmp(arg, "--timestamps") == 0) {
      options->timestamps = true;
    } else if (strcmp(arg, "--hex") == 0) {
      options->hex = true;
    } else if (strcmp(arg, "--no-reconnect") == 0) {
      options->no_reconnect = true;
    } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (strcmp(arg, "--version") == 0) {
      options->version = true;
    } else if (strcmp(arg, "-u") == 0 || strcmp(arg, "--usb") == 0) {
      options->usb = true;
    } else if (option_value(argc, argv, &i, "--reset", &value, &missing)) {
      if (missing || !plain_chip_name(value)) {
        snprintf(error, error_size, "--reset needs the chip's name, as Orvane takes it");
        return false;
      }
      options->reset_chip = value;
    } else if (option_value(argc, argv, &i, "--log", &value, &missing)) {
      if (missing || value[0] == '\0') {
        snprintf(error, error_size, "--log needs a file name");
        return false;
      }
      options->log_path = value;
    } else if (option_value(argc, argv, &i, "--until", &value, &missing)) {
      if (missing || value[0] == '\0' || strlen(value) > kMaxMatchText) {
        snprintf(error, error_size, "--until needs a text of 1 to %u bytes",
                 unsigned(kMaxMatchText));
        return false;
      }
      options->until = value;
    } else if (option_value(argc, argv, &i, "--exit-after", &value, &missing)) {
      if (missing || !parse_seconds(value, &options->exit_after_ms)) {
        snprintf(error, error_size,
                 "--exit-after needs a number of seconds (such as 5 or 0.5, at most a week)");
        return false;
      }
    } else {
      snprintf(error, error_size, "unknown option: %s", arg);
      return false;
    }
  }
  if (options->usb && options->reset_chip == nullptr) {
    snprintf(error, error_size, "-u goes with --reset CHIP");
    return false;
  }
  return true;
}
