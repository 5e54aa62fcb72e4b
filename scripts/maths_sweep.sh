#!/usr/bin/env bash
# The full accuracy sweep of maths/ against GNU MPFR: COUNT random arguments
# per function over the library's domains (default 10^8; the CI suite runs
# 20000), then the share correctly rounded and the largest error in ulps per
# function. Functions run two at a time.
# Usage: scripts/maths_sweep.sh [count] [build-dir]   (default build/gcc)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-100000000}
dir=${2:-$root/build/gcc}
jobs=${TARNUTIL_JOBS:-2}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
fi
cmake --build "$dir" -j"$jobs" --target maths_mpfr_test >/dev/null
program=$dir/bin/maths_mpfr_test
export TARNUTIL_MATHS_SWEEP_COUNT=$count
printf '%s\n' sin cos tan atan atan2 log pow |
  xargs -P "$jobs" -I{} "$program" --gtest_filter='Functions/MathsSweep.*/{}' |
  grep -E '^sweep|Failure|FAILED' | sort
