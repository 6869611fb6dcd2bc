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
