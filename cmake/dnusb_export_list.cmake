# SPDX-License-Identifier: Apache-2.0
# Reading dnusb/dnusb.def, the one list of dnusb's exports and ordinals.  Used when the
# Windows build makes its module-definition files and by the check of the built binaries.
include_guard(GLOBAL)

# Reads dnusb.def: out_names / out_ordinals receive the listed names and their ordinals.
function(orvane_read_export_list def_file out_names out_ordinals)
  file(STRINGS ${def_file} lines)
  set(names "")
  set(ordinals "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_@]*)[ \t]+@([0-9]+)[ \t]*$")
      list(APPEND names ${CMAKE_MATCH_1})
      list(APPEND ordinals ${CMAKE_MATCH_2})
    endif()
  endforeach()
  set(${out_names} ${names} PARENT_SCOPE)
  set(${out_ordinals} ${ordinals} PARENT_SCOPE)
endfunction()

# The C function behind a listed name: _Base@N -> Base; a plain name is its own function.
function(orvane_export_base name out_base)
  if(name MATCHES "^_([A-Za-z0-9_]+)@[0-9]+$")
    set(${out_base} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out_base} ${name} PARENT_SCOPE)
  endif()
endfunction()
