// SPDX-License-Identifier: Apache-2.0
// orvane-monitor: shows the chip's UART output, read from the device's data-in stream.
#include <cerrno>
#include <cstdio>

#include "monitor_loop.h"
#include "monitor_options.h"
#include "monitor_output.h"
#include "wire/regular_file.h"
#include "stop_signal.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char **argv) {
  monitor_options options;
  char error[256];
  if (!parse_monitor_options(argc, argv, &options, error, sizeof error)) {
    fprintf(stderr, "orvane-monitor: %s\nTry 'orvane-monitor --help'.\n", error);
    return 2;
  }
  if (options.help) {
    fputs(kMonitorHelp, stdout);
    return 0;
  }
  if (options.version) {
    printf("orvane-monitor %s\n", ORVANE_VERSION);
    return 0;
  }
#if defined(_WIN32)
  // The firmware's bytes go out unchanged: no line-feed translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  monitor_output output;
  output.out = stdout;
  output.hex = options.hex;
  output.timestamps = options.timestamps;
  if (options.log_path != nullptr) {
    // A FIFO or a device would hold the monitor up before it reads anything.
    output.log = dn_open_regular(options.log_path, "ab");
    if (output.log == nullptr) {
      fprintf(stderr, "orvane-monitor: cannot open %s for appending: %s\n", options.log_path,
              dn_open_regular_why(errno));
      return 1;
    }
  }
  catch_stop_signals();
  int status = run_monitor(options, &output);
  if (!output_finish(&output) && status == 0) status = 1;
  if (output.log != nullptr && fclose(output.log) != 0 && status == 0) status = 1;
  return status;
}
