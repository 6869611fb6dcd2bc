# nlohmann-json is header-only and comes from Debian (/usr/include/nlohmann).
# The cross build must not see /usr/include itself (glibc headers would shadow
# MinGW's), so the nlohmann folder alone is linked into the build tree.
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
add_library(mrv_json INTERFACE)
target_include_directories(mrv_json SYSTEM INTERFACE "${MRV_JSON_INCLUDE}")
