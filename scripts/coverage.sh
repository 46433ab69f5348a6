#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Line coverage of the program and the library (base/ cli/ engine/ control/ dnusb/; the Windows port
# files are left out): builds the coverage preset, runs the whole suite, and prints the
# report by file and the total.  The report also lands in build/coverage/coverage.txt.
#   ORVANE_COVERAGE_MIN=90 scripts/coverage.sh      fail below that share of lines
set -euo pipefail
cd "$(dirname "$0")/.."
minimum=${ORVANE_COVERAGE_MIN:-0}
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j 2 >/dev/null
find build/coverage -name '*.gcda' -delete
# CMake's compiler checks leave notes without data; they are no part of the report.
find build/coverage/CMakeFiles -name '*.gcno' -delete
status=0
ctest --preset coverage >build/coverage/ctest.log 2>&1 || { grep -A8 'tests FAILED' build/coverage/ctest.log || true; status=1; }
gcovr --root . --object-directory build/coverage \
  --filter 'base/' --filter 'cli/' --filter 'engine/' --filter 'control/' --filter 'dnusb/' \
  --exclude '.*_windows\.cpp' \
  --txt build/coverage/coverage.txt --print-summary --fail-under-line "$minimum" \
  build/coverage | tail -3 || status=1
exit $status
