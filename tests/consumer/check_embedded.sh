#!/usr/bin/env bash
# Builds the consumer program with the checkout added as a subproject: it
# must link TarnUtil::tarnutil and bring no tests, -Werror or install rules.
set -euo pipefail
root=$1 src=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$src" -B "$work" -DTARNUTIL_EMBED_DIR="$root" -DCMAKE_CXX_COMPILER="$cxx" >"$work.log" 2>&1 \
  || { cat "$work.log"; rm -f "$work.log"; exit 1; }
rm -f "$work.log"
for setting in TARNUTIL_WERROR:BOOL=OFF TARNUTIL_INSTALL:BOOL=OFF; do
  grep -qx "$setting" "$work/CMakeCache.txt" || { echo "embedded default is not $setting"; exit 1; }
done
if cmake --build "$work" --target help | grep -E '_(test|check|replay)$'; then
  echo "the embedded checkout added test programs"
  exit 1
fi
cmake --build "$work" -j2 >/dev/null
LD_LIBRARY_PATH="$work/tarnutil/bin:$work/tarnutil:${LD_LIBRARY_PATH:-}" "$work/consumer"
echo "embedded checkout builds TarnUtil::tarnutil alone"
