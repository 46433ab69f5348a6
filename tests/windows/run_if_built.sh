#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs a Windows check when its cross build (and, for Wine runs, the Wine prefix) exists;
# otherwise reports SKIP with the reason and exits with 77.
#   run_if_built.sh BIN PREFIX|- COMMAND...
bin=$1 prefix=$2
shift 2
if [ ! -f "$bin/Orvane.exe" ] || [ ! -f "$bin/dnusb.dll" ]; then
  echo "SKIP: no cross build in $bin (scripts/windows/build_and_test.sh makes it)"
  exit 77
fi
if [ "$prefix" != "-" ]; then
  if [ ! -f "$prefix/system.reg" ] || ! command -v wine >/dev/null; then
    echo "SKIP: no Wine or no Wine prefix $prefix (scripts/windows/build_and_test.sh makes it)"
    exit 77
  fi
  export WINEPREFIX=$prefix
fi
exec "$@"
