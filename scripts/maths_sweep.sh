#!/usr/bin/env bash
# The full accuracy sweep of maths/ against GNU MPFR: COUNT random arguments
# per function over the library's domains (default 10^8; the CI suite runs
# 20000), then every argument the projection and the rhumb line pass on a
# SIDE x SIDE grid over the map's area (default 1000; the suite runs 16),
# and the share correctly rounded and the largest error in ulps per
# function. Functions run two at a time; COUNT 0 runs the grid alone.
# Usage: scripts/maths_sweep.sh [count] [build-dir] [side]   (default build/gcc)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-100000000}
dir=${2:-$root/build/gcc}
side=${3:-1000}
jobs=${TARNUTIL_JOBS:-2}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
fi
cmake --build "$dir" -j"$jobs" --target maths_mpfr_test >/dev/null
program=$dir/bin/maths_mpfr_test
export TARNUTIL_MATHS_SWEEP_COUNT=$count
export TARNUTIL_MATHS_GRID_SIDE=$side
{
  if [ "$count" -gt 0 ]; then printf 'Functions/MathsSweep.*/%s\n' sin cos tan atan atan2 log pow; fi
  echo 'MathsGrid.*'
} | xargs -P "$jobs" -I{} "$program" --gtest_filter='{}' |
  grep -E '^sweep|^grid|Failure|FAILED' | sort
