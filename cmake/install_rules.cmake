# SPDX-License-Identifier: Apache-2.0
# Where everything goes on "cmake --install" and in the packages (GNUInstallDirs).
#
# Every path is relative to the prefix chosen at install time, every link is relative, and
# DESTDIR is honoured, so one build serves /usr packages, /usr/local and a private prefix:
#
#   bin/orvane                      -> ../libexec/orvane/Orvane
#   bin/dnusb-list, bin/zk32-sim
#   libexec/orvane/Orvane           the program; it finds config.ini beside its real path...
#   libexec/orvane/config.ini       -> .../etc/orvane/config.ini   ...through these links
#   libexec/orvane/writer           -> .../etc/orvane/writer
#   <sysconf>/orvane/config.ini     the chip table, rows naming the chip maker's writers
#   <sysconf>/orvane/writer/        where the user puts those writers
#   lib/<arch>/libdnusb.so.1, libdnusb.so, pkgconfig/dnusb.pc, cmake/dnusb/
#   include/dnusb.h
#   lib/udev/rules.d/60-zk32.rules
#   share/zk32-sim/                 the simulator's chip table and flash writers, the sample
#                                   firmware and its listing (ORVANE_CONFIG_DIR=this folder
#                                   points the installed program at this chip table)
#   share/man/man1, man3
#   share/bash-completion/completions/   one completion per command (from completion/)
#
# <sysconf> is /etc for the prefix /usr (and /), /etc/opt/... for /opt/..., else
# <prefix>/etc, decided when installing (cmake --install --prefix may differ from the
# configured prefix).  On Windows everything lies in one folder, as the program expects.
#
# Components, one package each: runtime (the program, library, udev rule), dev (header,
# link, pkg-config and CMake files), sim (the simulator and its data).  Install rules made
# without a component land in runtime (CMAKE_INSTALL_DEFAULT_COMPONENT_NAME).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ORVANE_MAN_SOURCE_DIR ${PROJECT_SOURCE_DIR}/man)

if(WIN32)
  install(TARGETS Orvane dnusb dnusb-list RUNTIME DESTINATION . COMPONENT runtime
                                          ARCHIVE DESTINATION lib COMPONENT dev)
  # The text files with Windows line ends (Notepad and the program read them either way).
  set(orvane_windows_text ${PROJECT_BINARY_DIR}/windows-text)
  configure_file(${PROJECT_SOURCE_DIR}/data/config.ini ${orvane_windows_text}/config.ini
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/data/writer-README.txt
                 ${orvane_windows_text}/writer-README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-user-README.txt
                 ${orvane_windows_text}/user-README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${orvane_windows_text}/LICENSE.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${orvane_windows_text}/config.ini ${orvane_windows_text}/LICENSE.txt
          DESTINATION . COMPONENT runtime)
  install(FILES ${orvane_windows_text}/writer-README.txt DESTINATION writer
          RENAME README.txt COMPONENT runtime)
  # user\ receives the reads made without -o (user\Read.bin).
  install(FILES ${orvane_windows_text}/user-README.txt DESTINATION user
          RENAME README.txt COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/dnusb/include/dnusb.h DESTINATION include COMPONENT dev)
  return()
endif()

set(orvane_program_dir ${CMAKE_INSTALL_LIBEXECDIR}/orvane)
set(orvane_sim_data_dir ${CMAKE_INSTALL_DATADIR}/zk32-sim)
set(orvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/dnusb)

# --- The program, its commands and the library ------------------------------------------
# The program finds libdnusb from its own folder, wherever the tree is moved.
file(RELATIVE_PATH orvane_to_libdir /${orvane_program_dir} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(Orvane PROPERTIES INSTALL_RPATH "$ORIGIN/${orvane_to_libdir}")
install(TARGETS Orvane RUNTIME DESTINATION ${orvane_program_dir} COMPONENT runtime)
install(TARGETS dnusb-list RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS dnusb EXPORT dnusbTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/dnusb/include/dnusb.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/data/udev/60-zk32.rules
        DESTINATION lib/udev/rules.d COMPONENT runtime)

# config.ini, the writer folder and the links to them are laid out at install time.
install(CODE "
  set(ORVANE_SYSCONFDIR \"${CMAKE_INSTALL_SYSCONFDIR}\")
  set(ORVANE_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(ORVANE_PROGRAM_DIR \"${orvane_program_dir}\")
  set(ORVANE_PROGRAM \"$<TARGET_FILE_NAME:Orvane>\")
  set(ORVANE_DATA_DIR \"${PROJECT_SOURCE_DIR}/data\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/install_config.cmake\")"
  COMPONENT runtime)

# --- Development files --------------------------------------------------------------------
# dnusb.pc names the prefix given at install time (cmake --install --prefix may differ from
# the configured one); a staged tree is used with PKG_CONFIG_SYSROOT_DIR.
install(CODE "
  set(DNUSB_PC_IN \"${PROJECT_SOURCE_DIR}/dnusb/dnusb.pc.in\")
  set(DNUSB_PC_OUT \"${PROJECT_BINARY_DIR}/dnusb.pc\")
  set(DNUSB_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/install_pkgconfig.cmake\")"
  COMPONENT dev)
install(EXPORT dnusbTargets NAMESPACE dnusb:: DESTINATION ${orvane_cmake_dir} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/dnusbConfig.cmake.in
  ${PROJECT_BINARY_DIR}/dnusbConfig.cmake INSTALL_DESTINATION ${orvane_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/dnusbConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/dnusbConfig.cmake ${PROJECT_BINARY_DIR}/dnusbConfigVersion.cmake
        DESTINATION ${orvane_cmake_dir} COMPONENT dev)

# --- The simulator ------------------------------------------------------------------------
if(TARGET zk32-sim)
  install(TARGETS zk32-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
  install(FILES ${PROJECT_SOURCE_DIR}/sim/data/config.ini DESTINATION ${orvane_sim_data_dir}
          COMPONENT sim)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/data/writer DESTINATION ${orvane_sim_data_dir}
          COMPONENT sim)
  # The sample firmware and its listing, for a first download onto a simulated chip.
  install(FILES ${PROJECT_SOURCE_DIR}/examples/firmware.bin ${PROJECT_SOURCE_DIR}/examples/firmware.lst
          DESTINATION ${orvane_sim_data_dir} COMPONENT sim)
endif()

# --- Bash completions: every file of completion/, named after its command, where
# bash-completion loads it from (its completionsdir under this prefix; else, and for any other
# prefix, share/bash-completion/completions, which bash-completion searches for every prefix
# in XDG_DATA_DIRS).  zk32-sim's goes with the simulator, the others with the program.
set(orvane_completion_dir ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_get_variable(orvane_bash_completions bash-completion completionsdir)
  string(LENGTH "${CMAKE_INSTALL_PREFIX}/" orvane_prefix_length)
  string(SUBSTRING "${orvane_bash_completions}" 0 ${orvane_prefix_length} orvane_head)
  if(orvane_head STREQUAL "${CMAKE_INSTALL_PREFIX}/")
    string(SUBSTRING "${orvane_bash_completions}" ${orvane_prefix_length} -1 orvane_completion_dir)
  endif()
endif()
file(GLOB orvane_completions CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/completion/*)
foreach(completion IN LISTS orvane_completions)
  get_filename_component(command ${completion} NAME)
  set(component runtime)
  if(command STREQUAL "zk32-sim")
    if(NOT TARGET zk32-sim)
      continue()
    endif()
    set(component sim)
  endif()
  install(FILES ${completion} DESTINATION ${orvane_completion_dir} COMPONENT ${component})
endforeach()

# --- Manual pages: every man/*.1 and man/*.3, with the version filled in (they give the
# packages' paths, /usr/...), installed compressed.  ORVANE_MAN_PAGES lists the uncompressed
# copies for the lint test.
file(GLOB orvane_man_pages CONFIGURE_DEPENDS ${ORVANE_MAN_SOURCE_DIR}/*.[13])
set(ORVANE_MAN_PAGES)
set(orvane_man_gz)
foreach(page IN LISTS orvane_man_pages)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${name})
  set(built ${PROJECT_BINARY_DIR}/man/${name})
  configure_file(${page} ${built} @ONLY)
  list(APPEND ORVANE_MAN_PAGES ${built})
  add_custom_command(OUTPUT ${built}.gz COMMAND gzip -9nfk ${built} DEPENDS ${built})
  list(APPEND orvane_man_gz ${built}.gz)
  if(name STREQUAL "dnusb.3")
    set(component dev)
  elseif(name STREQUAL "zk32-sim.1")
    set(component sim)
  else()
    set(component runtime)
  endif()
  if(component STREQUAL "sim" AND NOT TARGET zk32-sim)
    continue()
  endif()
  install(FILES ${built}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
          COMPONENT ${component})
endforeach()
add_custom_target(orvane_man_pages ALL DEPENDS ${orvane_man_gz})
