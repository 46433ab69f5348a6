# SPDX-License-Identifier: Apache-2.0
# Cross build for 32-bit Windows (the tool's native platform) with MinGW-w64:
#   cmake -S . -B build/mingw-i686 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
#         -DORVANE_BUILD_SIM=OFF -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
set(ORVANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
