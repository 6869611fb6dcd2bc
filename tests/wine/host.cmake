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

mrv_add_wine_test(syscheck_test SOURCES host/syscheck_test.cpp LIBS mrv_json
                  DEPENDS syscheck mrv_sysinfo syscheck_library_double syscheck_library_double_without_entry)
