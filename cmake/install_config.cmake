# SPDX-License-Identifier: Apache-2.0
# Runs at install time (from cmake/install_rules.cmake): puts config.ini and the writer folder
# in the system configuration folder and links them, and the command orvane, relatively.
#
# In:  CMAKE_INSTALL_PREFIX (this install's prefix), ORVANE_SYSCONFDIR, ORVANE_BINDIR,
#      ORVANE_PROGRAM_DIR (relative to the prefix), ORVANE_PROGRAM (the program's file name),
#      ORVANE_DATA_DIR (the source tree's data/ folder).
# file(INSTALL) adds $ENV{DESTDIR} itself; the links are made inside $ENV{DESTDIR} and point
# by relative paths, so they hold wherever the tree finally lies.

# The configuration folder for this prefix, by the rule of GNUInstallDirs.
set(prefix "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" prefix "${prefix}")
if(IS_ABSOLUTE "${ORVANE_SYSCONFDIR}")
  set(sysconf "${ORVANE_SYSCONFDIR}")
elseif(prefix STREQUAL "" OR prefix STREQUAL "/usr")
  set(sysconf "/${ORVANE_SYSCONFDIR}")
elseif(prefix MATCHES "^/opt/")
  set(sysconf "/${ORVANE_SYSCONFDIR}${prefix}")
else()
  set(sysconf "${prefix}/${ORVANE_SYSCONFDIR}")
endif()
set(confdir "${sysconf}/orvane")
set(program_dir "${prefix}/${ORVANE_PROGRAM_DIR}")
set(bindir "${prefix}/${ORVANE_BINDIR}")

file(INSTALL DESTINATION "${confdir}" TYPE FILE FILES "${ORVANE_DATA_DIR}/config.ini")
file(INSTALL DESTINATION "${confdir}/writer" TYPE FILE RENAME README.txt
     FILES "${ORVANE_DATA_DIR}/writer-README.txt")

# A relative link at DESTDIR + link pointing to target (both without DESTDIR).
function(orvane_relative_link target link)
  get_filename_component(link_dir "${link}" DIRECTORY)
  file(RELATIVE_PATH relative "${link_dir}" "${target}")
  set(staged "$ENV{DESTDIR}${link}")
  get_filename_component(staged_dir "${staged}" DIRECTORY)
  file(MAKE_DIRECTORY "${staged_dir}")
  if(IS_DIRECTORY "${staged}" AND NOT IS_SYMLINK "${staged}")
    message(FATAL_ERROR "${staged} is a folder left by an older installation; move what it "
                        "holds to ${target} and remove it, then install again.")
  endif()
  file(REMOVE "${staged}")
  file(CREATE_LINK "${relative}" "${staged}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${staged}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
  message(STATUS "Linking: ${staged} -> ${relative}")
endfunction()

orvane_relative_link("${confdir}/config.ini" "${program_dir}/config.ini")
orvane_relative_link("${confdir}/writer" "${program_dir}/writer")
orvane_relative_link("${program_dir}/${ORVANE_PROGRAM}" "${bindir}/orvane")
