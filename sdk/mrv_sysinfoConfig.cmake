# mrv_sysinfo's CMake package: the imported target mrv_sysinfo::mrv_sysinfo.
# Every path is taken from where this file lies, so the installed folder may
# be moved. MSVC-style toolchains get the MSVC-format import library, the
# others (MinGW-w64) the GNU one.
get_filename_component(_mrv_sysinfo_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(MSVC)
  set(_mrv_sysinfo_implib lib/mrv_sysinfo.lib)
else()
  set(_mrv_sysinfo_implib lib/libmrv_sysinfo.dll.a)
endif()

foreach(_mrv_sysinfo_file IN ITEMS bin/mrv_sysinfo.dll ${_mrv_sysinfo_implib} include/mrv_sysinfo.h)
  if(NOT EXISTS "${_mrv_sysinfo_prefix}/${_mrv_sysinfo_file}")
    set(mrv_sysinfo_FOUND FALSE)
    set(mrv_sysinfo_NOT_FOUND_MESSAGE "${_mrv_sysinfo_prefix}/${_mrv_sysinfo_file} is missing")
  endif()
endforeach()

if(NOT DEFINED mrv_sysinfo_FOUND AND NOT TARGET mrv_sysinfo::mrv_sysinfo)
  add_library(mrv_sysinfo::mrv_sysinfo SHARED IMPORTED)
  set_target_properties(mrv_sysinfo::mrv_sysinfo PROPERTIES
    IMPORTED_LOCATION "${_mrv_sysinfo_prefix}/bin/mrv_sysinfo.dll"
    IMPORTED_IMPLIB "${_mrv_sysinfo_prefix}/${_mrv_sysinfo_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_mrv_sysinfo_prefix}/include")
endif()
unset(_mrv_sysinfo_file)
unset(_mrv_sysinfo_implib)
unset(_mrv_sysinfo_prefix)
