#!/bin/sh
# nlohmann-json 3.11.3, the release the library's texts (parse errors in the
# report and the log) are worded by. Debian 12 ships 3.11.2; Debian 13's
# nlohmann-json3-dev is header-only and has no dependencies, so it is fetched
# with apt through a private configuration (its own sources, lists and cache)
# and unpacked under DEST: the system's package lists and packages stay as
# they are. Does nothing when the unpacked tree is complete.
#
# Runs that share DEST (two builds, or worktrees sharing build/deps) take
# turns under a lock: they share the apt folder too. The package is unpacked
# beside its place and renamed into it only once complete.
set -eu
version=3.11.3
mkdir -p "$1"
dest="$(cd "$1" && pwd)"  # apt takes relative paths from /
target="$dest/nlohmann-json-$version"

# Every file the package holds is there as its md5sums list it.
tree_complete() {
  [ -f "$target/DEBIAN/md5sums" ] && (cd "$target" && md5sum --status -c DEBIAN/md5sums) 2>/dev/null
}

exec 9>"$dest/.fetch_nlohmann_json.lock"
flock 9
tree_complete && exit 0

apt_dir="$dest/apt-trixie"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
echo "deb http://deb.debian.org/debian trixie main" >"$apt_dir/sources.list"
: >"$apt_dir/status"
set -- -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::State::status="$apt_dir/status" \
  -o Dir::Cache="$apt_dir" -o Dir::Cache::archives="$apt_dir/archives" \
  -o APT::Architecture=amd64 -o APT::Sandbox::User=root -o Debug::NoLocking=1
echo "Fetching nlohmann-json3-dev $version from Debian trixie into $target"
apt-get "$@" update -qq
package_version=$(apt-cache "$@" madison nlohmann-json3-dev |
  awk -F'|' '{gsub(/ /, "", $2); print $2}' | grep "^$version-" | head -n 1)
if [ -z "$package_version" ]; then
  echo "nlohmann-json3-dev $version is not in trixie" >&2
  exit 1
fi
rm -f "$apt_dir"/nlohmann-json3-dev_*.deb
(cd "$apt_dir" && apt-get "$@" download -qq "nlohmann-json3-dev=$package_version")
# -R keeps the package's md5sums (in DEBIAN/) beside its files.
rm -rf "$target.partial"
dpkg-deb -R "$apt_dir"/nlohmann-json3-dev_*.deb "$target.partial"
# What stands in the way is incomplete; -T renames, never moves into it.
rm -rf "$target"
mv -T "$target.partial" "$target"
if ! tree_complete; then
  echo "$target does not match the package's checksums" >&2
  exit 1
fi
