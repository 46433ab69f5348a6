# SPDX-License-Identifier: Apache-2.0
# Packages, with CPack (run "cpack" in the build folder; scripts/package.sh does it all):
#   Linux:   three .deb packages, from the install components of cmake/install_rules.cmake
#              orvane      the program, dnusb-list, libdnusb.so.1, config.ini, the udev rule
#              orvane-dev  dnusb.h, libdnusb.so, dnusb.pc, the CMake package, dnusb(3)
#              zk32-sim    the device simulator with its chip table and flash writers
#            Dependencies come from dpkg-shlibdeps; the packages install under /usr, with
#            config.ini in /etc/orvane.
#   Windows: one ZIP per build, the program folder with a README for Windows users.
# A placeholder: whoever publishes the packages sets their own name and address here.
set(ORVANE_PACKAGE_MAINTAINER "Orvane developers <orvane@example.org>"
    CACHE STRING "Maintainer named in the packages (-DORVANE_PACKAGE_MAINTAINER=...)")

set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ORVANE_WINDOWS_ARCH win64)
  else()
    set(ORVANE_WINDOWS_ARCH win32)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-README.txt
                 ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT runtime)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programming and debugging tool for ZK32 microcontrollers")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME orvane-${PROJECT_VERSION}-${ORVANE_WINDOWS_ARCH})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Install with DESTDIR and the real prefix, so config.ini lands in /etc/orvane.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARGET zk32-sim)
  list(APPEND CPACK_COMPONENTS_ALL sim)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

# Each package's copyright and changelog, as Debian wants them in /usr/share/doc/<package>.
set(orvane_doc_stage ${PROJECT_BINARY_DIR}/packaging)
set(ORVANE_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${orvane_doc_stage}/changelog.Debian
               @ONLY)
add_custom_command(OUTPUT ${orvane_doc_stage}/changelog.Debian.gz
  COMMAND gzip -9nfk ${orvane_doc_stage}/changelog.Debian
  DEPENDS ${orvane_doc_stage}/changelog.Debian
  COMMENT "Compressing the package changelog")
add_custom_target(orvane_package_docs ALL DEPENDS ${orvane_doc_stage}/changelog.Debian.gz)

# Files in /etc are the user's to change: dpkg keeps their edits on upgrade.  The library is
# registered with ldconfig by trigger.
file(WRITE ${orvane_doc_stage}/conffiles "/etc/orvane/config.ini\n/etc/orvane/writer/README.txt\n")
file(WRITE ${orvane_doc_stage}/triggers "activate-noawait ldconfig\n")

foreach(component runtime dev sim)
  if(component STREQUAL "runtime")
    set(package orvane)
  elseif(component STREQUAL "dev")
    set(package orvane-dev)
  else()
    set(package zk32-sim)
  endif()
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${orvane_doc_stage}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

# First line: the synopsis; the rest: the long description.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "programming and debugging tool for ZK32 microcontrollers
Orvane downloads firmware into ZK32 chips, reads and writes their memories and
controls their core, over USB or through an EVK probe.  With its USB library
libdnusb, the dnusb-list command and the udev rule that gives the user at the
seat access to the devices.")
set(CPACK_COMPONENT_DEV_DESCRIPTION "development files for libdnusb, the USB library of Orvane
The header dnusb.h, the pkg-config file dnusb.pc and the CMake package dnusb
(find_package(dnusb), target dnusb::dnusb).")
set(CPACK_COMPONENT_SIM_DESCRIPTION "simulated ZK32 chip and EVK probe for Orvane
zk32-sim answers the USB requests of a ZK32 chip or an EVK probe, for trying
Orvane and testing tools without hardware.  With its chip table and flash
writers, which run only on the simulator.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${orvane_doc_stage}/conffiles
                                               ${orvane_doc_stage}/triggers)
# The program reaches /etc/orvane through relative links (the tree stays relocatable and
# valid inside a DESTDIR), which Debian would have absolute: say so to lintian.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME orvane
        COMPONENT runtime)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "orvane (= ${PROJECT_VERSION}-1)")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SIM_PACKAGE_RECOMMENDS "orvane")

include(CPack)
