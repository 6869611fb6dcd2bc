# Every test of the Windows tree has a time limit (the Wine programs also get
# it as MRV_WINE_TIMEOUT, which run_in_wine.sh enforces), so a hang fails.
add_test(NAME windows_tests_have_timeouts
         COMMAND "${CMAKE_COMMAND}" -DTREE=${CMAKE_BINARY_DIR} -DCTEST=${CMAKE_CTEST_COMMAND}
                 -P "${CMAKE_CURRENT_SOURCE_DIR}/robustness/check_test_timeouts.cmake")
set_tests_properties(windows_tests_have_timeouts PROPERTIES TIMEOUT 60 LABELS windows)

mrv_add_wine_test(robustness_wide_text_test SOURCES robustness/wide_text_test.cpp LIBS sysinfo_windows_platform)

# The real modules with their imports failing in turn, through their own
# import tables (docs/robustness.md).
add_library(import_table STATIC robustness/import_table.cpp)
target_include_directories(import_table PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/robustness")
mrv_warnings(import_table)

mrv_add_wine_test(robustness_library_import_faults_test
                  SOURCES robustness/library_import_faults_test.cpp robustness/library_import_stubs.cpp
                          robustness/dxgi_ledger.cpp
                  LIBS import_table mrv_json dxgi DEPENDS mrv_sysinfo nvml_double TIMEOUT 300)

add_library(syscheck_import_faults SHARED robustness/syscheck_import_faults.cpp)
target_link_libraries(syscheck_import_faults PRIVATE import_table)
set_target_properties(syscheck_import_faults PROPERTIES PREFIX "")
mrv_warnings(syscheck_import_faults)
mrv_add_wine_test(robustness_syscheck_import_faults_test SOURCES robustness/syscheck_import_faults_test.cpp
                  DEPENDS syscheck syscheck_library_double syscheck_import_faults TIMEOUT 300)
