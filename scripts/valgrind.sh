#!/usr/bin/env bash
# Runs the native test suite under Valgrind memcheck: every test program of a
# built native tree once (GoogleTest programs whole, other tests with their
# own arguments, the library-unload check included), then prints the error
# count and the bytes definitely lost over all runs.
# Usage: scripts/valgrind.sh [build-dir]   (default build/valgrind; built with
# g++ RelWithDebInfo and no sanitizers when missing)
# Exit status 0 only with 0 errors and 0 bytes definitely lost.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build/valgrind}
jobs=${TARNUTIL_JOBS:-2}
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt-get install valgrind)" >&2; exit 1; }

if [ ! -f "$dir/CTestTestfile.cmake" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null || exit 1
fi
cmake --build "$dir" -j"$jobs" >/dev/null || { echo "build failed" >&2; exit 1; }

logs=$dir/valgrind-logs
rm -rf "$logs" && mkdir -p "$logs"

# One line per run: working directory, then the command, split by \x01.
runs=$(ctest --test-dir "$dir" --show-only=json-v1 | python3 -c '
import json, sys
seen = set()
for test in json.load(sys.stdin)["tests"]:
    cmd = test.get("command")
    if not cmd:
        continue
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    # The MPFR sweep spends its time in MPFR; memcheck would take hours.
    if "mpfr" in props.get("LABELS", []):
        continue
    cwd = props.get("WORKING_DIRECTORY", ".")
    # GoogleTest programs run whole, once, instead of once per case.
    if any(a.startswith("--gtest_filter") for a in cmd[1:]):
        cmd = cmd[:1]
    key = "\x01".join([cwd] + cmd)
    if key in seen:
        continue
    seen.add(key)
    sys.stdout.write(key + "\n")
')

errors=0
definitely=0
failed=0
n=0
while IFS= read -r line; do
  [ -n "$line" ] || continue
  IFS=$'\x01' read -r -a parts <<<"$line"
  cwd=${parts[0]}
  cmd=("${parts[@]:1}")
  # Checks run by CMake or a shell script (exports, installed package) test
  # no program of ours.
  case $(basename "${cmd[0]}") in cmake|bash|sh) continue ;; esac
  n=$((n + 1))
  log=$logs/$n-$(basename "${cmd[0]}").log
  # Test programs that count deletions replace the global operator new and
  # delete; memcheck must leave those in place (nouserintercepts) or the
  # counts it bypasses come out wrong. It still sees the malloc and free
  # underneath. A forked child (the fork test's) leaves with the objects of
  # threads it does not have: only the test process itself is checked.
  verdict=ok
  (cd "$cwd" && valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
      --child-silent-after-fork=yes \
      --soname-synonyms=somalloc=nouserintercepts --suppressions="$root/scripts/valgrind.supp" \
      --log-file="$log" "${cmd[@]}" >/dev/null 2>&1) || { failed=$((failed + 1)); verdict=FAILED; }
  e=$(grep -Eo 'ERROR SUMMARY: [0-9,]+' "$log" | tail -n 1 | grep -Eo '[0-9,]+' | tr -d ,)
  d=$(grep -Eo 'definitely lost: [0-9,]+ bytes' "$log" | tail -n 1 | grep -Eo '[0-9,]+' | tr -d ,)
  errors=$((errors + ${e:-0}))
  definitely=$((definitely + ${d:-0}))
  [ "${e:-0}" -eq 0 ] && [ "${d:-0}" -eq 0 ] || verdict=FAILED
  echo "memcheck $(basename "${cmd[0]}"): $verdict, errors ${e:-0}, definitely lost ${d:-0} bytes"
done <<<"$runs"

echo "== memcheck over $n runs: $errors errors, $definitely bytes definitely lost, $failed runs failed"
echo "logs: $logs"
[ "$errors" -eq 0 ] && [ "$definitely" -eq 0 ] && [ "$failed" -eq 0 ]
