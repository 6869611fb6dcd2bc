#!/bin/sh
# strip for `cmake --install --strip` and cpack: binutils' strip writes the
# current time into the PE header unless SOURCE_DATE_EPOCH says otherwise;
# 0 keeps the header as the linker left it (--no-insert-timestamp).
SOURCE_DATE_EPOCH=0 exec x86_64-w64-mingw32-strip "$@"
