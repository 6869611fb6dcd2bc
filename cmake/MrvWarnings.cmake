# Warning set for the project's own targets only.
function(mrv_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual)
  if(MRV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
