# The installer example (examples/installer) built by makensis from this
# tree's deliverables, for x86 and amd64, and run under Wine. Without
# makensis at configure time installer_build fails, and the installer tests
# with it: a missing makensis is no reason to skip (tools/install_dependencies.sh
# installs nsis).
find_program(MRV_MAKENSIS makensis)
add_test(NAME installer_build
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/installer/build_installers.sh" "${MRV_MAKENSIS}" "${CMAKE_COMMAND}"
                 "${PROJECT_SOURCE_DIR}/examples/installer/syscheck_check.nsi" "${CMAKE_BINARY_DIR}"
                 "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/installers")
set_tests_properties(installer_build PROPERTIES FIXTURES_SETUP installers TIMEOUT 300 LABELS wine)

mrv_add_wine_test(installer_test
                  SOURCES installer/installer_test.cpp installer/installer_process.cpp installer/installer_targets.cpp
                  DEPENDS syscheck mrv_sysinfo syscheck_library_double gpu_architectures_json)
set_property(TEST installer_test APPEND PROPERTY FIXTURES_REQUIRED installers)
set_property(TEST installer_test APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-X86/*")

# The x86 installers need a 32-bit Wine, which Debian's wine64 alone is not:
# the same program skips them then, and ctest reports the test as skipped.
add_test(NAME installer_x86_test COMMAND installer_test)
set_tests_properties(installer_x86_test PROPERTIES FIXTURES_REQUIRED "wine;installers" TIMEOUT 300 LABELS wine
                     ENVIRONMENT "MRV_WINE_DIR=${MRV_WINE_DIR};MRV_WINE_TIMEOUT=300;GTEST_FILTER=X86/*"
                     SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
