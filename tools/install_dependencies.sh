#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Safe to run again; does nothing when all is present.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"

packages="cmake ninja-build g++ git
g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
libgtest-dev googletest libbenchmark-dev
wine64 xvfb xauth libgl1-mesa-dri locales
clang-14 libclang-rt-14-dev valgrind nsis
llvm lld osslsigncode openssl strip-nondeterminism unzip jq"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing="$missing $package"
  fi
done

if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo_prefix=""
  if [ "$(id -u)" -ne 0 ]; then sudo_prefix="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo_prefix apt-get update -qq
  # shellcheck disable=SC2086
  $sudo_prefix apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

"$root/tools/fetch_nlohmann_json.sh" "$root/build/deps"
