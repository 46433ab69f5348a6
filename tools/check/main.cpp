// SPDX-License-Identifier: Apache-2.0
// orvane-check: runs one Orvane command for a script or a production line and says with its
// exit status how it went; verifies downloads, shows progress, speaks JSON on request.
#include <cstdio>
#include <string>

#include "tools/check/check_run.h"
#include "tools/check/firmware_check.h"
#include "tools/check/options.h"
#include "tools/check/platform.h"

int main(int argc, char **argv) {
  prepare_output();
  check_options options;
  std::string error;
  if (!parse_options(argc, argv, &options, &error)) {
    std::fprintf(stderr, "orvane-check: %s%s%s", error.c_str(), kLineEnd,
                 usage_text(kLineEnd).c_str());
    if (options.json) print_json_closing_for_usage(error.c_str(), kExitRefused);
    return kExitRefused;
  }
  if (options.help) {
    const std::string text = usage_text(kLineEnd);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitSuccess;
  }
  if (options.version) {
    std::printf("orvane-check %s%s", ORVANE_VERSION, kLineEnd);
    return kExitSuccess;
  }
  // A firmware file with its own addresses (or --dry-run) is planned before it runs.
  if (firmware_check_wanted(options)) return run_firmware_check(options);
  return run_check(options);
}
