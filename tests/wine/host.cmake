# syscheck.exe run the way users run it: beside a test double of the library
# whose every answer a case scripts, and once beside the real library. The
# doubles never carry the real name in bin/; each case copies one into its
# own folder as mrv_sysinfo.dll.
add_library(syscheck_library_double SHARED host/library_double.cpp)
add_library(syscheck_library_double_without_entry SHARED host/library_double.cpp)
target_compile_definitions(syscheck_library_double_without_entry PRIVATE WITHOUT_ENTRY)
foreach(double IN ITEMS syscheck_library_double syscheck_library_double_without_entry)
  set_target_properties(${double} PROPERTIES PREFIX "")
  mrv_warnings(${double})
endforeach()

# Lends syscheck a module path too long for Wine to start a program from.
add_library(long_module_path SHARED host/long_module_path.cpp)
target_link_libraries(long_module_path PRIVATE ntdll)
set_target_properties(long_module_path PROPERTIES PREFIX "")
mrv_warnings(long_module_path)

mrv_add_wine_test(syscheck_test SOURCES host/syscheck_test.cpp LIBS mrv_json
                  DEPENDS syscheck mrv_sysinfo syscheck_library_double syscheck_library_double_without_entry
                          long_module_path)

# syscheck in folders named outside the ANSI code page: the test program runs
# with a Russian locale (code page 1251 under Wine), compiled into the build
# tree by the fixture, in the common Wine session.
set(MRV_LOCALE_DIR "${CMAKE_BINARY_DIR}/locale")
add_test(NAME locale_ru_RU COMMAND "${PROJECT_SOURCE_DIR}/tools/wine/make_locale.sh" "${MRV_LOCALE_DIR}" ru_RU.UTF-8)
set_tests_properties(locale_ru_RU PROPERTIES FIXTURES_SETUP locale_ru_RU TIMEOUT 120 LABELS wine)
mrv_add_wine_test(syscheck_code_page_test SOURCES host/syscheck_code_page_test.cpp LIBS probes_capabilities_of
                  DEPENDS syscheck mrv_sysinfo syscheck_library_double gpu_architectures_json)
set_property(TEST syscheck_code_page_test APPEND PROPERTY FIXTURES_REQUIRED locale_ru_RU)
set_property(TEST syscheck_code_page_test APPEND PROPERTY ENVIRONMENT "LOCPATH=${MRV_LOCALE_DIR}" "LC_ALL=ru_RU.UTF-8")
