# Windows-only targets of the library: the Windows side of the seam and the DLL.
add_library(sysinfo_windows_platform STATIC platform/windows_platform.cpp)
target_link_libraries(sysinfo_windows_platform PUBLIC sysinfo_core dxgi)
mrv_warnings(sysinfo_windows_platform)

add_library(mrv_sysinfo SHARED boundary/exports.cpp boundary/windows_library_unload.cpp resources/mrv_sysinfo.rc)
target_link_libraries(mrv_sysinfo PRIVATE sysinfo_windows_platform)
target_compile_definitions(mrv_sysinfo PRIVATE MRV_SYSINFO_BUILDING)
set_target_properties(mrv_sysinfo PROPERTIES PREFIX "" OUTPUT_NAME "mrv_sysinfo"
                                             CXX_VISIBILITY_PRESET hidden)
set_property(SOURCE resources/mrv_sysinfo.rc APPEND PROPERTY INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/cmake")
# Only the two exports leave the DLL, whatever the static runtime carries.
# The runtime's thread calls are answered inside the DLL, so that winpthreads
# (which never gives back its TLS slot) stays out and the DLL can be loaded
# and freed any number of times.
if(MINGW)
  target_sources(mrv_sysinfo PRIVATE boundary/windows_thread_primitives.cpp)
  target_link_options(mrv_sysinfo PRIVATE -Wl,--exclude-all-symbols)
endif()
mrv_warnings(mrv_sysinfo)

# What ships: `cmake --install build/windows --prefix DIR --strip` gives the
# modules without their debug information (8 MB of the DLL's 9), and the
# linker's import library (libmrv_sysinfo.dll.a with MinGW-w64).
install(TARGETS mrv_sysinfo RUNTIME DESTINATION bin LIBRARY DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/mrv_sysinfo.h DESTINATION include)
