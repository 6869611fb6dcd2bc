#!/bin/bash
# The tests: installs what is missing, builds every tree and runs every test,
# native and under Wine, then builds the committed source twice more and
# compares the release bytes (counted as one test), and prints one summary
# line. Exit status 0 only
# when every tree built and every test passed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/install_dependencies.sh" || exit 1

passed=0
failed=0
broken=""

# run_tree PRESET: configure, build and test one preset's tree.
run_tree() {
  local preset="$1" log="$root/build/$1-ctest.log"
  echo "== $preset: configure and build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    broken="$broken $preset"
    return
  fi
  echo "== $preset: test"
  ctest --preset "$preset" 2>&1 | tee "$log"
  local line total failures
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [[ -z "$line" ]]; then
    broken="$broken $preset"
    return
  fi
  failures=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - failures))
  failed=$((failed + failures))
}

mkdir -p "$root/build"
for preset in native fuzz tsan windows; do run_tree "$preset"; done

echo "== reproducibility: the committed source built twice"
if "$root/tools/check_reproducible.sh"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

summary="Summary: $passed passed, $failed failed"
[[ -n "$broken" ]] && summary="$summary; not built or not run:$broken"
echo "$summary"
[[ $failed -eq 0 && -z "$broken" ]]
