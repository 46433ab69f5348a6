# SPDX-License-Identifier: Apache-2.0
# Shared part of the MinGW-w64 toolchain files; ORVANE_MINGW_TRIPLET names the target.
set(CMAKE_SYSTEM_NAME Windows)

# Debian ships each cross compiler in a win32-threads and a posix-threads flavour; only the
# posix one has std::mutex in GCC 12 (its libwinpthread goes into the binaries, below).
# Fall back to the plain name elsewhere.
find_program(CMAKE_C_COMPILER NAMES ${ORVANE_MINGW_TRIPLET}-gcc-posix
             ${ORVANE_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ORVANE_MINGW_TRIPLET}-g++-posix
             ${ORVANE_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ORVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime goes into each binary (libgcc, libstdc++, libwinpthread), so Orvane.exe and
# dnusb.dll need only Windows' own DLLs and each other: copy the two files anywhere, or run
# them under Wine, as they are.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# How dnusb.dll exports its list and how Orvane.exe imports by ordinal: applied once every
# target exists (see the file).
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/windows_binding.cmake)
