# SPDX-License-Identifier: Apache-2.0
# How dnusb.dll and Orvane.exe are bound on Windows (MinGW-w64).
#
# dnusb/dnusb.def is the one list of exports and ordinals.  From it, at configure time:
#   dnusb_exports.def   the module-definition file dnusb.dll is linked with
#   dnusb_ordinals.def  every export marked NONAME, turned by dlltool into dnusb.dll's import
#                       library, so the program imports by ordinal only.
#
# Names on i686 (stdcall): a plain export such as GetPrintDeviceHandle is the exported name
# of the decorated symbol GetPrintDeviceHandle@4; a listed name such as _ReadUSBMemCheck@24 is
# exported under exactly that name, for the symbol ReadUSBMemCheck@24.  The argument bytes of
# each export are 4 per parameter of its prototype in dnusb/include/dnusb.h (every argument is 32-bit
# there).  The list itself cannot be handed to ld: there _ReadUSBMemCheck@24 would name the
# symbol __ReadUSBMemCheck@24, and GetPrintDeviceHandle a symbol that does not exist (the
# compiled one is GetPrintDeviceHandle@4), hence the "exported = internal" form.
# On x86-64 there is no decoration: every export goes out under the name of its C function
# (the base name, as in dnusb.h and on Linux), with the same ordinal.
#
# The toolchain files load this file through CMAKE_PROJECT_INCLUDE; a top-level
# include(cmake/windows_binding.cmake) does the same for other Windows builds.  Either way
# dnusb/CMakeLists.txt calls orvane_windows_binding() once the dnusb target exists.

include_guard(GLOBAL)

include(${CMAKE_CURRENT_LIST_DIR}/dnusb_export_list.cmake)

# Bytes of stdcall arguments of function base, from its prototype in the header text.
function(orvane_stdcall_bytes header_text base out_bytes)
  string(REGEX MATCH "DNUSB_CALL[ \t\r\n]+${base}[ \t\r\n]*\\(([^)]*)\\)" found "${header_text}")
  if(NOT found)
    message(FATAL_ERROR "dnusb.h declares no export ${base}")
  endif()
  string(STRIP "${CMAKE_MATCH_1}" parameters)
  if(parameters STREQUAL "" OR parameters STREQUAL "void")
    set(${out_bytes} 0 PARENT_SCOPE)
    return()
  endif()
  string(REGEX MATCHALL "," commas "${parameters}")
  list(LENGTH commas count)
  math(EXPR bytes "(${count} + 1) * 4")
  set(${out_bytes} ${bytes} PARENT_SCOPE)
endfunction()

function(orvane_windows_binding)
  if(NOT WIN32 OR NOT TARGET dnusb)
    return()
  endif()

  set(def_file ${PROJECT_SOURCE_DIR}/dnusb/dnusb.def)
  set(header ${PROJECT_SOURCE_DIR}/dnusb/include/dnusb.h)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${def_file} ${header})
  orvane_read_export_list(${def_file} names ordinals)
  list(LENGTH names export_count)
  if(export_count EQUAL 0)
    message(FATAL_ERROR "no exports found in ${def_file}")
  endif()
  file(READ ${header} header_text)

  set(i686 FALSE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(i686 TRUE)
  endif()

  set(exports "LIBRARY dnusb.dll\nEXPORTS\n")
  set(imports "LIBRARY dnusb.dll\nEXPORTS\n")
  math(EXPR last "${export_count} - 1")
  foreach(i RANGE ${last})
    list(GET names ${i} name)
    list(GET ordinals ${i} ordinal)
    orvane_export_base(${name} base)
    if(i686)
      orvane_stdcall_bytes("${header_text}" ${base} bytes)
      if(NOT name STREQUAL base AND NOT name STREQUAL "_${base}@${bytes}")
        message(FATAL_ERROR "${name} in dnusb.def does not match ${base} in dnusb.h (${bytes} bytes)")
      endif()
      # exported name = internal (decorated) symbol, ordinal
      string(APPEND exports "    ${name} = ${base}@${bytes} @${ordinal}\n")
      string(APPEND imports "    ${base}@${bytes} @${ordinal} NONAME\n")
    else()
      string(APPEND exports "    ${base} @${ordinal}\n")
      string(APPEND imports "    ${base} @${ordinal} NONAME\n")
    endif()
  endforeach()

  set(out_dir ${PROJECT_BINARY_DIR}/windows)
  file(MAKE_DIRECTORY ${out_dir})
  file(CONFIGURE OUTPUT ${out_dir}/dnusb_exports.def CONTENT "${exports}")
  file(CONFIGURE OUTPUT ${out_dir}/dnusb_ordinals.def CONTENT "${imports}")

  # dnusb.dll (no "lib" prefix), exporting exactly the list.
  set_target_properties(dnusb PROPERTIES PREFIX "" LINK_DEPENDS ${out_dir}/dnusb_exports.def)
  target_link_options(dnusb PRIVATE ${out_dir}/dnusb_exports.def)

  # The DLL's import library, written anew after each link from the NONAME list: whatever
  # links dnusb (the program, through the operations) imports by ordinal only.
  if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "no dlltool found beside the compiler (CMAKE_DLLTOOL)")
  endif()
  if(i686)
    set(machine i386)
  else()
    set(machine i386:x86-64)
  endif()
  add_custom_command(TARGET dnusb POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -m ${machine} -d ${out_dir}/dnusb_ordinals.def
            -l $<TARGET_LINKER_FILE:dnusb>
    COMMENT "Import library of dnusb.dll by ordinal")
  set_property(TARGET dnusb APPEND PROPERTY LINK_DEPENDS ${out_dir}/dnusb_ordinals.def)
endfunction()
