# `cpack` in the Windows tree: mrv_sysinfo-VERSION-win64.zip beside the tree's
# files, holding the stripped install under one top folder together with a
# README for deployers and SHA256SUMS (release_contents.cmake). The zip is
# then given a fixed time, order and permissions for every entry
# (release_normalise.cmake), so that a commit gives the same bytes anywhere.
# Without strip-nondeterminism the build goes on and cpack refuses.
find_program(MRV_STRIP_NONDETERMINISM strip-nondeterminism)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME mrv_sysinfo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME mrv_sysinfo-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_SOURCE_DIR}/release_contents.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_SOURCE_DIR}/release_normalise.cmake")
set(CPACK_MRV_README "${CMAKE_CURRENT_SOURCE_DIR}/README.txt")
set(CPACK_MRV_STRIP_NONDETERMINISM "${MRV_STRIP_NONDETERMINISM}")
include(CPack)
