#!/bin/bash
# tools/fetch_nlohmann_json.sh against a made-up package and an apt that only
# pretends: two runs at once into one folder, and trees that an interrupted
# or racing run left behind. Needs no network.
#   fetch_nlohmann_json_test.sh SOURCE_DIR
set -euo pipefail
shopt -s nullglob
fetch="$1/tools/fetch_nlohmann_json.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The package: two headers and the md5sums dh_md5sums would write.
package="$work/package"
mkdir -p "$package/DEBIAN" "$package/usr/include/nlohmann/detail"
echo "// json" >"$package/usr/include/nlohmann/json.hpp"
echo "// abi" >"$package/usr/include/nlohmann/detail/abi_macros.hpp"
printf 'Package: nlohmann-json3-dev\nVersion: 3.11.3-1\nArchitecture: all\nMaintainer: test <t@t>\nDescription: test\n' \
  >"$package/DEBIAN/control"
(cd "$package" && md5sum usr/include/nlohmann/json.hpp usr/include/nlohmann/detail/abi_macros.hpp \
  >DEBIAN/md5sums)
deb="$work/nlohmann-json3-dev_3.11.3-1_all.deb"
dpkg-deb -Zgzip --build "$package" "$deb" >/dev/null

# apt-get and apt-cache that answer from $deb; every download is counted. An
# update takes a second, long enough for two runs to overlap.
mkdir "$work/bin"
cat >"$work/bin/apt-get" <<FAKE
#!/bin/sh
for word; do
  case "\$word" in
    update) sleep 1; exit 0 ;;
    download) echo download >>"$work/downloads"; cp "$deb" .; exit 0 ;;
  esac
done
exit 1
FAKE
cat >"$work/bin/apt-cache" <<'FAKE'
#!/bin/sh
echo " nlohmann-json3-dev | 3.11.3-1 | http://deb.debian.org/debian trixie/main amd64 Packages"
FAKE
chmod +x "$work/bin/apt-get" "$work/bin/apt-cache"
export PATH="$work/bin:$PATH"

downloads() { [[ -f "$work/downloads" ]] && wc -l <"$work/downloads" || echo 0; }
# The tree in DEST must be the package's, whole, and nothing else.
expect_package_tree() {
  local tree="$1/nlohmann-json-3.11.3"
  diff -r "$package" "$tree" >/dev/null || fail "$2: $(diff -rq "$package" "$tree" 2>&1 | head -n 3)"
  local others=("$1"/nlohmann-json-3.11.3?*)
  ((${#others[@]} == 0)) || fail "$2: left beside the tree: ${others[*]}"
}

# Two runs at once: the second waits, finds the tree complete, fetches nothing.
dest="$work/concurrent"
rm -f "$work/downloads"
"$fetch" "$dest" >/dev/null & first=$!
"$fetch" "$dest" >/dev/null & second=$!
wait "$first" || fail "concurrent: the first run failed"
wait "$second" || fail "concurrent: the second run failed"
[[ "$(downloads)" == 1 ]] || fail "concurrent: $(downloads) downloads, expected 1"
expect_package_tree "$dest" concurrent

# A complete tree is kept as it is.
rm -f "$work/downloads"
"$fetch" "$dest" >/dev/null || fail "complete: the run failed"
[[ "$(downloads)" == 0 ]] || fail "complete: fetched again"

# Incomplete trees are fetched anew and replaced whole.
make_tree_missing_a_header() { cp -r "$package" "$1"; rm "$1/usr/include/nlohmann/detail/abi_macros.hpp"; }
make_tree_of_older_runs() {  # json.hpp without checksums, a racing run's tree moved into it
  mkdir -p "$1/usr/include/nlohmann"
  cp "$package/usr/include/nlohmann/json.hpp" "$1/usr/include/nlohmann/"
  cp -r "$package" "$1/nlohmann-json-3.11.3.partial"
}
make_tree_with_a_changed_header() { cp -r "$package" "$1"; echo "// 3.11.2" >"$1/usr/include/nlohmann/json.hpp"; }
for broken in make_tree_missing_a_header make_tree_of_older_runs make_tree_with_a_changed_header; do
  dest="$work/$broken"
  mkdir -p "$dest"
  "$broken" "$dest/nlohmann-json-3.11.3"
  mkdir "$dest/nlohmann-json-3.11.3.partial"  # an interrupted run's
  rm -f "$work/downloads"
  "$fetch" "$dest" >/dev/null || fail "$broken: the run failed"
  [[ "$(downloads)" == 1 ]] || fail "$broken: $(downloads) downloads, expected 1"
  expect_package_tree "$dest" "$broken"
done

if ((failures > 0)); then
  echo "$failures failed" >&2
  exit 1
fi
echo "fetch_nlohmann_json: all cases passed"
