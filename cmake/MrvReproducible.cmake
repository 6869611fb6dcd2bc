# The same commit gives the same module bytes wherever and whenever it is
# built: no build path in __FILE__ or the debug information (the build
# tree's map is given last so that it wins inside the source tree), and no
# link time in the PE header.
if(MINGW)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
  add_link_options(-Wl,--no-insert-timestamp)
endif()
