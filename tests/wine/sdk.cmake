# The SDK as its callers get it: the install's import libraries and CMake
# package, the consumer example built against them and run under Wine, and
# the release zip made by cpack, unpacked, checked and signed.
find_program(MRV_CLANG NAMES clang-14 clang)
set(MRV_SDK_TEST_DIR "${CMAKE_BINARY_DIR}/sdk-tests")

add_test(NAME sdk_consumer_build
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/sdk/build_consumer.sh" "${CMAKE_COMMAND}" "${MRV_CLANG}"
                 "${CMAKE_BINARY_DIR}" "${PROJECT_SOURCE_DIR}" "${MRV_SDK_TEST_DIR}/consumer")
set_tests_properties(sdk_consumer_build PROPERTIES FIXTURES_SETUP sdk TIMEOUT 300 LABELS windows)

add_test(NAME sdk_import_libraries
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/sdk/check_import_libraries.sh" "${MRV_SDK_TEST_DIR}/consumer/sdk")
set_tests_properties(sdk_import_libraries PROPERTIES FIXTURES_REQUIRED sdk TIMEOUT 60 LABELS windows)

add_test(NAME sdk_package
         COMMAND "${CMAKE_COMMAND}" --fresh -S "${CMAKE_CURRENT_SOURCE_DIR}/sdk/package_versions"
                 -B "${MRV_SDK_TEST_DIR}/package_versions" -DSDK=${MRV_SDK_TEST_DIR}/consumer/sdk
                 -Dmrv_sysinfo_DIR=${MRV_SDK_TEST_DIR}/consumer/sdk/lib/cmake/mrv_sysinfo)
set_tests_properties(sdk_package PROPERTIES FIXTURES_REQUIRED sdk TIMEOUT 60 LABELS windows)

add_test(NAME sdk_consumer_run
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/sdk/run_consumer.sh" "${MRV_SDK_TEST_DIR}/consumer"
                 "$<TARGET_FILE:sysinfo_dump>" "${PROJECT_VERSION}")
set_tests_properties(sdk_consumer_run PROPERTIES FIXTURES_REQUIRED "sdk;wine" TIMEOUT 300 LABELS wine
                     ENVIRONMENT "MRV_WINE_DIR=${MRV_WINE_DIR}")

add_test(NAME release_zip
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/sdk/check_release_zip.sh" "${CMAKE_CPACK_COMMAND}" "${CMAKE_BINARY_DIR}"
                 "${PROJECT_SOURCE_DIR}" "${MRV_SDK_TEST_DIR}/release" "${PROJECT_VERSION}")
set_tests_properties(release_zip PROPERTIES FIXTURES_SETUP release TIMEOUT 300 LABELS windows)

add_test(NAME release_signing
         COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/sdk/check_signing.sh"
                 "${MRV_SDK_TEST_DIR}/release/unpacked/mrv_sysinfo-${PROJECT_VERSION}-win64/bin")
set_tests_properties(release_signing PROPERTIES FIXTURES_REQUIRED release TIMEOUT 120 LABELS windows)
