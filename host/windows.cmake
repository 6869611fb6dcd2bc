# syscheck.exe: the Windows side of the program (module path, loader, report
# file, crash report) around syscheck_core.
add_executable(syscheck
  windows/main.cpp
  windows/windows_program_directory.cpp
  windows/windows_library_binding.cpp
  windows/windows_report_file.cpp
  windows/crash_report_filter.cpp
  resources/syscheck.rc)
target_link_libraries(syscheck PRIVATE syscheck_core)
set_property(SOURCE resources/syscheck.rc APPEND PROPERTY INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/cmake")
mrv_warnings(syscheck)
install(TARGETS syscheck RUNTIME DESTINATION bin)
