# SPDX-License-Identifier: Apache-2.0
# Runs at install time (from cmake/install_rules.cmake): writes dnusb.pc with the prefix of
# this install, so its paths are the plain ones a distribution's own .pc files carry
# (prefix=/usr, includedir=${prefix}/include).
#
# In:  CMAKE_INSTALL_PREFIX (this install's prefix), DNUSB_PC_IN (the template), DNUSB_PC_OUT
#      (where the filled-in copy goes in the build tree), DNUSB_LIBDIR (relative to the prefix),
#      and the template's variables CMAKE_INSTALL_LIBDIR, CMAKE_INSTALL_INCLUDEDIR,
#      PROJECT_VERSION.
set(DNUSB_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "(.)/+$" "\\1" DNUSB_PC_PREFIX "${DNUSB_PC_PREFIX}")
configure_file("${DNUSB_PC_IN}" "${DNUSB_PC_OUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${DNUSB_LIBDIR}/pkgconfig" TYPE FILE
     FILES "${DNUSB_PC_OUT}")
