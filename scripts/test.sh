#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Sets up, cross-builds the Windows program and library and runs them under Wine, then builds
# both native presets (release and AddressSanitizer + UndefinedBehaviorSanitizer) and runs the
# whole test suite of each under CTest (which re-checks the Windows builds too); then the
# fuzz targets, the fault sweep, the soak, valgrind, the coverage report and the kernel rig
# (scripts/kernel-test.sh); last, builds the Debian packages, installs them, runs the
# installed tools and removes them again.
#   ORVANE_SKIP_WINDOWS=1 scripts/test.sh   skips the Windows part
#   ORVANE_SKIP_PACKAGES=1 scripts/test.sh  skips the packages
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

status=0
if [ "${ORVANE_SKIP_WINDOWS:-0}" != "1" ]; then
  echo "=== windows: cross build and Wine runs"
  scripts/windows/build_and_test.sh || status=1
fi

# The ci presets are the default and sanitize builds (same build trees) with warnings as errors.
for preset in ci ci-sanitize; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: tests"
  ctest --preset "$preset" || status=1
done
# The checks against hostile input and a faulty device (about ten minutes on two cores).
for check in fuzz fault_sweep soak valgrind coverage; do
  echo "=== $check"
  scripts/$check.sh || status=1
done

# The real USB stack: a QEMU guest's kernel between the library and the simulated chip
# (about two minutes; exit 77 is a skip, with its reason printed).
echo "=== kernel rig"
rig=0
scripts/kernel-test.sh || rig=$?
[ $rig -eq 0 ] || [ $rig -eq 77 ] || status=1

if [ "${ORVANE_SKIP_PACKAGES:-0}" != "1" ]; then
  echo "=== packages: build, install, use, remove"
  scripts/ci_packages.sh || status=1
fi
exit $status
