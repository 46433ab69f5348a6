// SPDX-License-Identifier: Apache-2.0
// What the fuzz targets share: a check that aborts (so libFuzzer keeps the input) and says
// which oracle disagreed.
#ifndef ORVANE_FUZZ_FUZZ_CHECK_H
#define ORVANE_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                        \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

#endif
