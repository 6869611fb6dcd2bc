# cpack pre-build step, in the staged top folder: the README for deployers,
# then SHA256SUMS over every other file, in byte order of the paths and in
# the format `sha256sum -c` reads.
set(top "${CPACK_TEMPORARY_DIRECTORY}")
file(COPY_FILE "${CPACK_MRV_README}" "${top}/README.txt")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${top}" "${top}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 "${top}/${file}" sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE "${top}/SHA256SUMS" "${sums}")
