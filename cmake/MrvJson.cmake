# nlohmann-json is header-only. A CMake package is used where one is found
# (vcpkg, MSYS2, native Debian builds); the cross build takes Debian's
# headers, but must not see /usr/include itself (glibc headers would shadow
# MinGW's), so the nlohmann folder alone is linked into the build tree.
add_library(mrv_json INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.11 CONFIG QUIET)
endif()
if(nlohmann_json_FOUND)
  target_link_libraries(mrv_json INTERFACE nlohmann_json::nlohmann_json)
  return()
endif()
find_path(MRV_NLOHMANN_ROOT nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT MRV_NLOHMANN_ROOT)
  message(FATAL_ERROR "nlohmann/json.hpp not found; run tools/install_dependencies.sh")
endif()
set(MRV_JSON_INCLUDE "${CMAKE_BINARY_DIR}/json_include")
file(MAKE_DIRECTORY "${MRV_JSON_INCLUDE}")
if(NOT EXISTS "${MRV_JSON_INCLUDE}/nlohmann")
  file(CREATE_LINK "${MRV_NLOHMANN_ROOT}/nlohmann" "${MRV_JSON_INCLUDE}/nlohmann" SYMBOLIC)
endif()
target_include_directories(mrv_json SYSTEM INTERFACE "${MRV_JSON_INCLUDE}")
