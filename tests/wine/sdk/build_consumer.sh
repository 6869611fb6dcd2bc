#!/bin/bash
# Builds the consumer example as a user of the SDK would: from a fresh install
# of this tree, moved after installing (the package must find its files where
# it lies), in a configure of its own with the MinGW-w64 toolchain; then a
# second time with clang and lld against the MSVC-format import library.
# OUT/run gets the three shipped files and both programs; OUT/double both
# programs beside syscheck's scripted library double as mrv_sysinfo.dll.
#   build_consumer.sh CMAKE CLANG TREE SOURCE_DIR OUT
set -euo pipefail
cmake="$1" clang="$2" tree="$3" source="$4" out="$5"
example="$source/examples/consumer"

rm -rf "$out"
mkdir -p "$out"
"$cmake" --install "$tree" --prefix "$out/installed" --strip >/dev/null
mv "$out/installed" "$out/sdk"

"$cmake" -S "$example" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
         -Dmrv_sysinfo_DIR="$out/sdk/lib/cmake/mrv_sysinfo" >/dev/null
"$cmake" --build "$out/build" >/dev/null

gcc_libraries=$(dirname "$(x86_64-w64-mingw32-gcc-posix -print-libgcc-file-name)")
"$clang" --target=x86_64-w64-mingw32 -fuse-ld=lld -L"$gcc_libraries" -std=c99 -O2 -Wall -Werror \
         -I"$out/sdk/include" "$example/consumer.c" "$example/json_lookup.c" "$out/sdk/lib/mrv_sysinfo.lib" \
         -o "$out/consumer_lld.exe"

# The DLL as the example's build copied it, from where the package said.
mkdir "$out/run"
cp "$out/build/consumer.exe" "$out/build/mrv_sysinfo.dll" "$out/consumer_lld.exe" "$out/sdk/bin/syscheck.exe" \
   "$out/sdk/bin/gpu_architectures.json" "$out/run/"
cmp -s "$out/build/mrv_sysinfo.dll" "$out/sdk/bin/mrv_sysinfo.dll"
mkdir "$out/double"
cp "$out/build/consumer.exe" "$out/consumer_lld.exe" "$out/sdk/bin/gpu_architectures.json" "$out/double/"
cp "$tree/bin/syscheck_library_double.dll" "$out/double/mrv_sysinfo.dll"
