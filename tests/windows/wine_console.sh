#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Orvane.exe under Wine without any device: what the Windows build does differently from the
# native one - the console (CR LF line ends), the exit code, config.ini found through
# GetModuleFileNameA, device discovery through SetupAPI, and the load-time binding to
# dnusb.dll.  Each console transcript is compared byte for byte with the exit code.
#   tests/windows/wine_console.sh WIN_BIN      (WINEPREFIX set by the caller)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BIN=$(cd "$1" && pwd)
# shellcheck source=wine_lib.sh
. "$here/wine_lib.sh"
# No simulator reachable: the simulated-device port lists only the ports named here.
unset ZK32_SIM_TCP

install=$(make_install console)
# The one help golden file, shared with the native tests.
help_golden="$here/../cli/help.golden"

# --- Entry ------------------------------------------------------------------------------
run_orvane "$install" help
expect_console "help prints the help text" 0 "$help_golden"

run_orvane "$install"
expect_line "no arguments" 0 ' [0]:invaild cmd! \t\n'

run_orvane "$install" 4715 wf
expect_line "refused character command exits with 1" 1 ' [9]: wf cmd err!\n'

# config.ini is looked for beside the program (GetModuleFileNameA), not in the working
# directory: run from elsewhere, and then without the file.
pushd "$scratch" >/dev/null
run_orvane "$install" 4715 rst -u
popd >/dev/null
expect_line "config.ini found beside the program from another directory" 0 \
  ' [42]: no usb device!\n'

bare=$(make_install no-config)
rm -f "$bare/config.ini"
run_orvane "$bare" 4715 rst -u
expect_line "missing config.ini" 0 ' [1]:Fail to open file! \t\n'
run_orvane "$bare" help extra
expect_console "help needs no config.ini" 0 "$help_golden"

# --- No device: SetupAPI lists no printer-class interface and no simulator is named ---------
run_orvane "$install" 4715 rst -u
expect_line "reset finds no device" 0 ' [42]: no usb device!\n'

run_orvane "$install" 4715 wf 0 -i image.bin -u
expect_line "download finds no device" 0 ' [137]: no usb device! \t\n'

run_orvane "$install" 4715 wf 0 -e 1 -u
expect_line "erase finds no device" 0 ' [179]: no usb device! \t\n'

# --- orvane-monitor.exe starts and explains itself ------------------------------------------
if [ -f "$WIN_BIN/orvane-monitor.exe" ]; then
  set +e
  timeout "$WINE_TIMEOUT" wine "$WIN_BIN/orvane-monitor.exe" --help >"$scratch/monitor-help" 2>&1
  monitor_rc=$?
  set -e
  if [ "$monitor_rc" -eq 0 ] && head -1 "$scratch/monitor-help" | grep -q '^Usage: orvane-monitor'; then
    pass "orvane-monitor.exe --help"
  else
    fail "orvane-monitor.exe --help" "exit code $monitor_rc" "$(head -c 200 "$scratch/monitor-help")"
  fi
fi

# --- The program is bound to the library: without dnusb.dll it does not start -------------
lonely=$(make_install no-library)
rm -f "$lonely/dnusb.dll"
run_orvane "$lonely" help
if [ "$run_rc" -ne 0 ] && [ ! -s "$run_out" ]; then
  pass "does not start without dnusb.dll"
else
  fail "does not start without dnusb.dll" "exit code $run_rc, output $(head -c 80 "$run_out")"
fi

finish
