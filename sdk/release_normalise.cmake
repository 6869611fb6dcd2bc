# cpack post-build step: the zip's entries in name order, all at one time
# (SOURCE_DATE_EPOCH when set, else strip-nondeterminism's 1980-01-01
# 12:01 UTC), permissions 644 or 755, no owner ids. The zip stores local
# time, hence UTC for the tool. A zip that could not be normalised is
# removed, and cpack fails.
function(refuse reason)
  file(REMOVE ${CPACK_PACKAGE_FILES})
  message(FATAL_ERROR "${reason}")
endfunction()

if(NOT EXISTS "${CPACK_MRV_STRIP_NONDETERMINISM}")
  refuse("strip-nondeterminism not found, the zip would differ from build to build; "
         "run tools/install_dependencies.sh and configure again")
endif()
set(ENV{TZ} UTC)
set(timestamp "")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(timestamp --timestamp "$ENV{SOURCE_DATE_EPOCH}")
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND "${CPACK_MRV_STRIP_NONDETERMINISM}" --type zip ${timestamp} "${package}"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    refuse("strip-nondeterminism failed on ${package}")
  endif()
endforeach()
