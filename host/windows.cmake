# syscheck.exe: the Windows side of the program (module path, loader, report
# file, crash report) around syscheck_core. The module path and the loader
# also serve the tools that fetch a document the way syscheck does.
add_library(syscheck_windows STATIC
  windows/windows_program_directory.cpp
  windows/windows_library_calls.cpp)
target_link_libraries(syscheck_windows PUBLIC syscheck_core)
mrv_warnings(syscheck_windows)

add_executable(syscheck
  windows/main.cpp
  windows/windows_library_binding.cpp
  windows/windows_report_file.cpp
  windows/crash_report_filter.cpp
  resources/syscheck.rc)
target_link_libraries(syscheck PRIVATE syscheck_windows)
# windres leaves no dependency file: a changed manifest must rebuild the resources.
set_property(SOURCE resources/syscheck.rc APPEND PROPERTY INCLUDE_DIRECTORIES "${CMAKE_CURRENT_SOURCE_DIR}/resources")
set_property(SOURCE resources/syscheck.rc APPEND PROPERTY OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/syscheck.manifest")
mrv_warnings(syscheck)
install(TARGETS syscheck RUNTIME DESTINATION bin)
