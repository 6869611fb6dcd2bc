# The installer example (examples/installer) built by makensis from this
# tree's deliverables and run under Wine. Without makensis at configure time
# installer_build fails, and the installer tests with it; they never skip
# (tools/install_dependencies.sh installs nsis).
find_program(MRV_MAKENSIS makensis)
add_test(NAME installer_build
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/installer/build_installers.sh" "${MRV_MAKENSIS}" "${CMAKE_COMMAND}"
                 "${PROJECT_SOURCE_DIR}/examples/installer/syscheck_check.nsi" "${CMAKE_BINARY_DIR}"
                 "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/installers")
set_tests_properties(installer_build PROPERTIES FIXTURES_SETUP installers TIMEOUT 300 LABELS wine)

mrv_add_wine_test(installer_test SOURCES installer/installer_test.cpp installer/installer_process.cpp
                  DEPENDS syscheck mrv_sysinfo syscheck_library_double gpu_architectures_json)
set_property(TEST installer_test APPEND PROPERTY FIXTURES_REQUIRED installers)
