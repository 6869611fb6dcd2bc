#!/bin/bash
# Builds what ships from the current commit twice and compares the bytes:
# two copies of the committed source (git archive) in folders of different
# names, each built in a build folder of a different name, one after the
# other, then cpack in each. SOURCE_DATE_EPOCH is the commit's time. The
# release zips, the unsigned stripped modules and import libraries in them,
# and the unstripped modules with their debug information must be
# identical. Uncommitted changes are not seen. Both builds take 2 to 3
# minutes on two cores shared with other builds.
#   tools/check_reproducible.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
commit=$(git -C "$root" rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
json="$root/build/deps/nlohmann-json-3.11.3"
version=$(sed -n 's/^project(mrv_sysinfo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
package="mrv_sysinfo-$version-win64"

work=$(mktemp -d "${TMPDIR:-/tmp}/mrv-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

# build SOURCE_FOLDER BUILD_FOLDER
build() {
  local source="$work/$1" tree="$work/$2"
  mkdir -p "$source"
  git -C "$root" archive "$commit" | tar -x -C "$source"
  # nlohmann-json where tools/install_dependencies.sh puts it in a checkout,
  # so that its path is mapped like the sources'.
  mkdir -p "$source/build/deps"
  cp -r "$json" "$source/build/deps/"
  cmake -S "$source" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMRV_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$tree" --target mrv_sysinfo syscheck mrv_sysinfo_msvc_import_library gpu_architectures_json >/dev/null
  (cd "$tree" && cpack >/dev/null)
  unzip -q "$tree/$package.zip" -d "$tree/unpacked"
}

start=$(date +%s)
build source-one b1
build second-copy-of-the-source build-two
echo "built twice from $commit in $(($(date +%s) - start)) s"

failures=0
compare() {
  if cmp -s "$work/$1" "$work/$2"; then
    echo "same: $2 ($(stat -c %s "$work/$1") bytes)"
  else
    echo "FAIL: $1 and $2 differ"
    failures=$((failures + 1))
  fi
}
compare "b1/$package.zip" "build-two/$package.zip"
for file in bin/mrv_sysinfo.dll bin/syscheck.exe lib/libmrv_sysinfo.dll.a lib/mrv_sysinfo.lib; do
  compare "b1/unpacked/$package/$file" "build-two/unpacked/$package/$file"
done
compare b1/bin/mrv_sysinfo.dll build-two/bin/mrv_sysinfo.dll
compare b1/bin/syscheck.exe build-two/bin/syscheck.exe
((failures == 0))
