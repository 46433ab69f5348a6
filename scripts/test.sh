#!/usr/bin/env bash
# Sets up, builds both presets (release and AddressSanitizer + UndefinedBehaviorSanitizer),
# runs the whole test suite of each under CTest, then the Windows build under Wine.
#   ORVANE_SKIP_WINDOWS=1 scripts/test.sh   skips the Windows part
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

status=0
for preset in default sanitize; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" -DORVANE_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j 2
  echo "=== $preset: tests"
  ctest --preset "$preset" || status=1
done

if [ "${ORVANE_SKIP_WINDOWS:-0}" != "1" ] && [ -x scripts/windows/build_and_test.sh ]; then
  echo "=== windows: cross build and Wine runs"
  scripts/windows/build_and_test.sh || status=1
fi
exit $status
