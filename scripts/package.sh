#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian packages (orvane, orvane-dev, zk32-sim) into build/package/packages/ and
# checks them with lintian, which must report no error.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset package >/dev/null
cmake --build --preset package
(cd build/package && cpack -G DEB >/dev/null)
ls build/package/packages/*.deb

# Errors fail the build; warnings and notes are shown.
lintian --tag-display-limit 0 \
  build/package/packages/*.deb | tee build/package/lintian.log
if grep -q '^E:' build/package/lintian.log; then
  echo "lintian reports errors" >&2
  exit 1
fi
