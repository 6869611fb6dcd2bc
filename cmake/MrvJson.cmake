# nlohmann-json, exactly release 3.11.3: the parse-error texts that reach the
# report and the log are its wording. tools/install_dependencies.sh unpacks
# Debian 13's header-only package under build/deps; elsewhere (vcpkg, MSYS2)
# a CMake package of the same release is taken. Any other release is refused.
# Only the nlohmann folder is put on the include path, so the cross build
# never sees /usr/include (glibc headers would shadow MinGW's).
set(MRV_JSON_VERSION 3.11.3)
set(MRV_JSON_ROOT "${PROJECT_SOURCE_DIR}/build/deps/nlohmann-json-${MRV_JSON_VERSION}"
    CACHE PATH "Unpacked nlohmann-json3-dev ${MRV_JSON_VERSION}")
add_library(mrv_json INTERFACE)

find_path(MRV_JSON_INCLUDE nlohmann/json.hpp PATHS "${MRV_JSON_ROOT}/usr/include"
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT MRV_JSON_INCLUDE AND NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json ${MRV_JSON_VERSION} EXACT CONFIG QUIET)
  if(nlohmann_json_FOUND)
    get_target_property(MRV_JSON_INCLUDE nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  endif()
endif()
if(NOT MRV_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann-json ${MRV_JSON_VERSION} not found; run tools/install_dependencies.sh")
endif()

file(STRINGS "${MRV_JSON_INCLUDE}/nlohmann/detail/abi_macros.hpp" MRV_JSON_VERSION_LINES
     REGEX "^#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) ")
set(MRV_JSON_FOUND_VERSION "")
foreach(line IN LISTS MRV_JSON_VERSION_LINES)
  string(REGEX REPLACE "^#define NLOHMANN_JSON_VERSION_[A-Z]+ +([0-9]+).*" "\\1" part "${line}")
  list(APPEND MRV_JSON_FOUND_VERSION "${part}")
endforeach()
list(JOIN MRV_JSON_FOUND_VERSION "." MRV_JSON_FOUND_VERSION)
if(NOT MRV_JSON_FOUND_VERSION STREQUAL MRV_JSON_VERSION)
  message(FATAL_ERROR "nlohmann-json in ${MRV_JSON_INCLUDE} is release '${MRV_JSON_FOUND_VERSION}', "
                      "this project needs ${MRV_JSON_VERSION}; run tools/install_dependencies.sh")
endif()
message(STATUS "nlohmann-json ${MRV_JSON_FOUND_VERSION}: ${MRV_JSON_INCLUDE}")
target_include_directories(mrv_json SYSTEM INTERFACE "${MRV_JSON_INCLUDE}")
