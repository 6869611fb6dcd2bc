# The library's boundary under Wine: its load-time log, written while the
# real DLL loads in a fresh process.
mrv_add_wine_test(boundary_load_log_test SOURCES boundary/load_log_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo sysinfo_dump TIMEOUT 120)

# The DLL's own answers to the C++ runtime's thread calls, under contention:
# a DLL built with the same entry point and thread calls as mrv_sysinfo.dll.
add_library(runtime_threads_library SHARED boundary/runtime_threads_library.cpp
            "${PROJECT_SOURCE_DIR}/sysinfo/boundary/windows_thread_primitives.cpp"
            "${PROJECT_SOURCE_DIR}/sysinfo/boundary/windows_library_unload.cpp")
target_include_directories(runtime_threads_library PRIVATE "${PROJECT_SOURCE_DIR}/sysinfo")
set_target_properties(runtime_threads_library PROPERTIES PREFIX "")
mrv_warnings(runtime_threads_library)
mrv_add_wine_test(boundary_runtime_threads_test SOURCES boundary/runtime_threads_test.cpp
                  DEPENDS runtime_threads_library TIMEOUT 120)
