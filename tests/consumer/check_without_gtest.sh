#!/usr/bin/env bash
# Configures the checkout with GoogleTest hidden: by default the tests are
# skipped with a line naming the package; asked for, they stop the configure.
set -uo pipefail
root=$1 cxx=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hide=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_CXX_COMPILER="$cxx")
if ! cmake -S "$root" -B "$work/default" "${hide[@]}" >"$work/default.log" 2>&1; then
  cat "$work/default.log"
  echo "a default configure without GoogleTest failed"
  exit 1
fi
grep -q 'tests skipped (install .*libgtest-dev' "$work/default.log" \
  || { cat "$work/default.log"; echo "no line says the tests are skipped"; exit 1; }
if cmake -S "$root" -B "$work/asked" "${hide[@]}" -DTARNUTIL_BUILD_TESTS=ON >"$work/asked.log" 2>&1; then
  echo "-DTARNUTIL_BUILD_TESTS=ON without GoogleTest configured"
  exit 1
fi
grep -q 'libgtest-dev' "$work/asked.log" \
  || { cat "$work/asked.log"; echo "the error does not name the package"; exit 1; }
echo "without GoogleTest: tests skipped by default, an error when asked for"
