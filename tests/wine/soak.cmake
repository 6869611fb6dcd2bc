# Load/unload cycles of the real library as a long-lived application makes
# them, measured from outside Wine (RssAnon and free TLS slots at
# checkpoints), beside the bare platform calls, a plain C library that holds
# nothing and one that loses 4 KiB per load.
add_executable(load_cycles soak/load_cycles.cpp)
target_link_libraries(load_cycles PRIVATE platform_calls sysinfo_windows_platform)
target_include_directories(load_cycles PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/support")
target_link_options(load_cycles PRIVATE -municode)
mrv_warnings(load_cycles)
add_library(soak_control_library SHARED soak/control_library.c)
add_library(soak_losing_library SHARED soak/control_library.c)
target_compile_definitions(soak_losing_library PRIVATE LOSE_MEMORY_ON_LOAD)
foreach(library IN ITEMS soak_control_library soak_losing_library)
  set_target_properties(${library} PROPERTIES PREFIX "")
  mrv_warnings(${library})
endforeach()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME library_load_cycles
         COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_SOURCE_DIR}/soak/load_cycles_test.py"
                 "$<TARGET_FILE_DIR:mrv_sysinfo>" "${CMAKE_BINARY_DIR}/soak" "${PROJECT_SOURCE_DIR}/data/gpu_architectures.json")
# Without a display: Wine's DXGI keeps about 11 KB of every factory, with a
# spread between runs far larger than the limit (docs/robustness.md).
set_tests_properties(library_load_cycles PROPERTIES FIXTURES_REQUIRED wine_nodisplay TIMEOUT 600 LABELS wine
                     ENVIRONMENT "MRV_WINE_DIR=${MRV_WINE_NODISPLAY_DIR}")
