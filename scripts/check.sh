#!/usr/bin/env bash
# Builds TarnUtil and runs the whole test suite on every supported target:
#   gcc        Linux x86-64, g++ (with the PROJ/GeographicLib oracle tests)
#   clang-asan Linux x86-64, clang++ with AddressSanitizer and UBSan
#   armhf      Linux 32-bit ARM, cross g++, tests under qemu-user
#   aarch64    Linux 64-bit ARM, cross g++, tests under qemu-user
#   mingw      Windows x64, mingw-w64 g++, tests under Wine
#   fuzz       Linux x86-64, clang++ libFuzzer targets: each for a fixed time
#              with a fixed seed, then a replay of corpora and regressions
#   valgrind   Linux x86-64, g++: every native test program under memcheck
#   tsan       Linux x86-64, clang++ with ThreadSanitizer: the multi-threaded
#              stress program on four threads for a bounded time
#   python     Linux x86-64, g++: the Python package's tests against the
#              tool, pyproj and shapely, the Dask example on two worker
#              processes, and an offline install into a virtual environment
#   packages   Linux x86-64, g++: the Debian packages through lintian, a
#              consumer built against them unpacked, the API reference
#              (scripts/check_packages.sh)
# Usage: scripts/check.sh [leg ...]   (default: every leg)
# Missing Debian packages are installed first (as root); without root the
# script prints the apt-get line to run and stops.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${TARNUTIL_BUILD_ROOT:-$root/build}
jobs=${TARNUTIL_JOBS:-2}
legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(gcc clang-asan armhf aarch64 mingw fuzz valgrind tsan python packages)

# Every leg generates bitmap test data on the host with Pillow and ImageMagick.
packages=(cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev
  libproj-dev libgeographiclib-dev python3 python3-pil imagemagick
  nlohmann-json3-dev libcli11-dev)
# Seconds each fuzz target runs in the fuzz leg; nine targets plus the
# sanitizer build stay within about six minutes on two cores.
fuzz_seconds=${TARNUTIL_FUZZ_SECONDS:-20}

# Configures and builds one leg's tree; prints the log's end and records the
# leg as failed when either step fails.
configure_and_build() {
  local leg=$1 dir=$2
  shift 2
  if ! cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    echo "leg $leg: configuration failed"
    failed_legs+=("$leg")
    return 1
  fi
  if ! cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1; then
    tail -n 60 "$dir.build.log"
    echo "leg $leg: build failed"
    failed_legs+=("$leg")
    return 1
  fi
}

# Builds the libFuzzer targets, runs each from a scratch copy of its corpus,
# then replays the checked-in corpus and regression inputs once. Any crash,
# leak, timeout or memory overrun fails the leg; each run counts as a test.
run_fuzz_leg() {
  local leg=fuzz
  local dir=$out/$leg
  echo "== Leg $leg"
  configure_and_build "$leg" "$dir" -DCMAKE_CXX_COMPILER=clang++ -DTARNUTIL_BUILD_FUZZ=ON \
    -DTARNUTIL_BUILD_TESTS=OFF -DTARNUTIL_SANITIZE=address,undefined,float-cast-overflow || return
  local targets=()
  local src
  for src in "$root"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
  if [ ${#targets[@]} -eq 0 ]; then
    echo "leg $leg: no fuzz target"
    failed_legs+=("$leg")
    return
  fi
  local pass=0 fail=0 name short work extra inputs
  for name in "${targets[@]}"; do
    short=${name%_fuzz}
    work=$dir/run/$short
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
    extra=()
    case $short in dib_*) extra+=(-dict="$root/fuzz/bmp.dict") ;; esac
    inputs=("$root/fuzz/corpus/$short")
    [ -d "$root/fuzz/regressions/$short" ] && inputs+=("$root/fuzz/regressions/$short")
    if "$dir/fuzz/$name" "$work/corpus" "${inputs[@]}" "${extra[@]}" -seed=1 \
        -max_total_time="$fuzz_seconds" -timeout=2 -rss_limit_mb=512 \
        -artifact_prefix="$work/artifacts/" >"$work/fuzz.log" 2>&1; then
      echo "fuzz $short: $(grep -E '^#[0-9]+' "$work/fuzz.log" | tail -n 1 | cut -c1-60)"
      pass=$((pass + 1))
    else
      grep -E 'ERROR|SUMMARY|invariant' "$work/fuzz.log" | head -n 5
      echo "fuzz $short: FAILED (log $work/fuzz.log, inputs in $work/artifacts)"
      fail=$((fail + 1))
    fi
    if "$dir/fuzz/$name" -runs=0 -timeout=2 -rss_limit_mb=512 "${inputs[@]}" \
        >"$work/replay.log" 2>&1; then
      pass=$((pass + 1))
    else
      grep -E 'ERROR|SUMMARY|invariant' "$work/replay.log" | head -n 5
      echo "replay $short: FAILED (log $work/replay.log)"
      fail=$((fail + 1))
    fi
  done
  echo "leg $leg: $pass passed, $fail failed"
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
  [ "$fail" -eq 0 ] || failed_legs+=("$leg")
}

for leg in "${legs[@]}"; do
  case $leg in
    gcc) packages+=(abigail-tools) ;;
    clang-asan) packages+=(clang libclang-rt-14-dev) ;;
    armhf) packages+=(g++-arm-linux-gnueabihf qemu-user abigail-tools) ;;
    aarch64) packages+=(g++-aarch64-linux-gnu qemu-user) ;;
    mingw) packages+=(g++-mingw-w64-x86-64-posix wine wine64) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    valgrind) packages+=(valgrind) ;;
    tsan) packages+=(clang libclang-rt-14-dev) ;;
    python) packages+=(pybind11-dev python3-dev python3-numpy python3-pytest python3-pyproj
      python3-shapely python3-dask python3-distributed python3-venv python3-pip
      python3-setuptools python3-wheel) ;;
    packages) packages+=(dpkg-dev binutils file lintian doxygen) ;;
    *) echo "unknown leg: $leg (gcc, clang-asan, armhf, aarch64, mingw, fuzz, valgrind, tsan, python, packages)" >&2; exit 2 ;;
  esac
done

. "$root/scripts/packages.sh"
ensure_packages "${packages[@]}"

mkdir -p "$out"
total_pass=0
total_fail=0
failed_legs=()

# Configures, builds and tests one leg; a leg that cannot build counts as failed.
run_leg() {
  local leg=$1
  shift
  local dir=$out/$leg
  echo "== Leg $leg"
  # Asked for explicitly, so that a machine without GoogleTest fails the leg
  # instead of running no test.
  configure_and_build "$leg" "$dir" -DTARNUTIL_BUILD_TESTS=ON "$@" || return
  local log=$dir.ctest.log
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --timeout 600 2>&1 | tee "$log" | grep -v -E '^\s+(Start|[0-9]+/[0-9]+ Test)' 
  local rc=${PIPESTATUS[0]}
  local summary
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    echo "leg $leg: ctest printed no summary"
    failed_legs+=("$leg")
    return
  fi
  local nfail ntotal
  nfail=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
  ntotal=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
  if [ "$ntotal" -eq 0 ]; then
    echo "leg $leg: no test ran"
    failed_legs+=("$leg")
    return
  fi
  total_pass=$((total_pass + ntotal - nfail))
  total_fail=$((total_fail + nfail))
  if [ "$rc" -ne 0 ] || [ "$nfail" -ne 0 ]; then
    failed_legs+=("$leg")
  fi
}

# Runs every native test program once under memcheck; each run is a test,
# failed by any error, any byte definitely lost or a failing program.
run_valgrind_leg() {
  local leg=valgrind
  local dir=$out/$leg
  echo "== Leg $leg"
  configure_and_build "$leg" "$dir" -DCMAKE_CXX_COMPILER=g++ -DTARNUTIL_BUILD_TESTS=ON || return
  local log=$dir.memcheck.log
  TARNUTIL_JOBS=$jobs bash "$root/scripts/valgrind.sh" "$dir" >"$log" 2>&1
  local rc=$?
  grep -E '^memcheck .*FAILED|^== ' "$log"
  local pass fail
  pass=$(grep -c -E '^memcheck .*: ok,' "$log")
  fail=$(grep -c -E '^memcheck .*: FAILED,' "$log")
  if [ $((pass + fail)) -eq 0 ]; then
    echo "leg $leg: no program ran"
    failed_legs+=("$leg")
    return
  fi
  echo "leg $leg: $pass passed, $fail failed"
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
  [ "$rc" -eq 0 ] && [ "$fail" -eq 0 ] || failed_legs+=("$leg")
}

# Builds only the stress program with ThreadSanitizer and runs it on four
# threads for stress_seconds; any sanitizer report, any result that differs
# from its single-threaded run, or a hang fails the leg.
stress_seconds=${TARNUTIL_STRESS_SECONDS:-5}
run_tsan_leg() {
  local leg=tsan
  local dir=$out/$leg
  echo "== Leg $leg"
  mkdir -p "$dir"
  if ! cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DTARNUTIL_SANITIZE=thread -DTARNUTIL_BUILD_TESTS=OFF -DTARNUTIL_BUILD_STRESS=ON \
      >"$dir.configure.log" 2>&1 ||
      ! cmake --build "$dir" -j"$jobs" --target thread_stress >"$dir.build.log" 2>&1; then
    tail -n 60 "$dir.configure.log" "$dir.build.log"
    echo "leg $leg: build failed"
    failed_legs+=("$leg")
    return
  fi
  local log=$dir.stress.log
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    timeout $((stress_seconds * 10 + 60)) "$dir/bin/thread_stress" "$stress_seconds" >"$log" 2>&1
  local rc=$?
  tail -n 1 "$log"
  if [ "$rc" -ne 0 ] || grep -q 'ThreadSanitizer' "$log"; then
    grep -m 20 -E 'WARNING|ERROR|SUMMARY|differs|damaged' "$log"
    echo "leg $leg: FAILED (exit $rc, log $log)"
    total_fail=$((total_fail + 1))
    failed_legs+=("$leg")
    return
  fi
  echo "leg $leg: 1 passed, 0 failed"
  total_pass=$((total_pass + 1))
}

# Debian's interpreter, whatever else is first on PATH: the packages the
# python leg installs are its.
system_python=/usr/bin/python3

# Runs the package's tests once; each test counts. $1 names the run, $2 is
# the log, the rest the interpreter.
run_pytest() {
  local what=$1 log=$2
  shift 2
  # From the build root, so no source copy of the package is importable.
  (cd "$out" && "$@" -m pytest -q -p no:cacheprovider "$root/python/tests") >"$log" 2>&1
  local rc=$?
  local pass fail
  pass=$(grep -o -E '[0-9]+ passed' "$log" | tail -n 1 | cut -d' ' -f1)
  fail=$(grep -o -E '[0-9]+ (failed|error)' "$log" | awk '{n += $1} END {print n + 0}')
  pass=${pass:-0}
  echo "$what: $pass passed, $fail failed"
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
  if [ "$rc" -ne 0 ] || [ "$pass" -eq 0 ]; then
    tail -n 40 "$log"
    return 1
  fi
}

# Builds the Python module and the tool, runs the package's tests from the
# build tree, then installs the package offline into a fresh virtual
# environment and runs the same tests against the installed copy.
run_python_leg() {
  local leg=python
  local dir=$out/$leg
  echo "== Leg $leg"
  mkdir -p "$dir"
  if ! cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
      -DTARNUTIL_BUILD_PYTHON=ON -DTARNUTIL_BUILD_TOOLS=ON -DTARNUTIL_BUILD_TESTS=OFF \
      -DPython3_EXECUTABLE="$system_python" >"$dir.configure.log" 2>&1 ||
      ! cmake --build "$dir" -j"$jobs" --target _tarnutil tarnutil_cli >"$dir.build.log" 2>&1; then
    tail -n 60 "$dir.configure.log" "$dir.build.log"
    echo "leg $leg: build failed"
    failed_legs+=("$leg")
    return
  fi
  local ok=1
  PYTHONPATH="$dir/python" TARNUTIL_TOOL="$dir/bin/tarnutil" \
    run_pytest "pytest (build tree)" "$dir.pytest.log" "$system_python" || ok=0
  local venv=$dir/venv
  rm -rf "$venv"
  if ! "$system_python" -m venv --system-site-packages "$venv" >"$dir.venv.log" 2>&1 ||
      ! (cd "$root" && TARNUTIL_JOBS=$jobs TARNUTIL_BUILD_ROOT=$out "$venv/bin/pip" install \
        --no-build-isolation --no-index ./python) >>"$dir.venv.log" 2>&1; then
    tail -n 40 "$dir.venv.log"
    echo "venv install: FAILED (log $dir.venv.log)"
    total_fail=$((total_fail + 1))
    ok=0
  else
    # An empty PYTHONPATH adds nothing: the installed copy is the one tested.
    if ! (cd "$out" && PYTHONPATH= "$venv/bin/python" -c \
        'import sys, tarnutil; sys.exit("/site-packages/" not in tarnutil.__file__)'); then
      echo "venv install: the installed package is not the one imported"
      total_fail=$((total_fail + 1))
      ok=0
    fi
    PYTHONPATH= TARNUTIL_TOOL="$dir/bin/tarnutil" \
      run_pytest "pytest (installed)" "$dir.venv-pytest.log" "$venv/bin/python" || ok=0
  fi
  if [ "$ok" -eq 1 ]; then
    echo "leg $leg: passed"
  else
    echo "leg $leg: FAILED"
    failed_legs+=("$leg")
  fi
}

for leg in "${legs[@]}"; do
  case $leg in
    gcc)
      run_leg gcc -DCMAKE_CXX_COMPILER=g++ -DTARNUTIL_REQUIRE_ORACLES=ON -DTARNUTIL_BUILD_TOOLS=ON ;;
    clang-asan)
      export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
      export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
      run_leg clang-asan -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
        -DTARNUTIL_SANITIZE=address,undefined,float-cast-overflow ;;
    armhf)
      run_leg armhf -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/armhf.cmake" -DTARNUTIL_BUILD_TOOLS=ON ;;
    aarch64)
      run_leg aarch64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64.cmake" -DTARNUTIL_BUILD_TOOLS=ON ;;
    mingw)
      export WINEPREFIX=${WINEPREFIX:-$out/wineprefix}
      run_leg mingw -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw64.cmake" -DTARNUTIL_BUILD_TOOLS=ON ;;
    fuzz)
      run_fuzz_leg ;;
    valgrind)
      run_valgrind_leg ;;
    tsan)
      run_tsan_leg ;;
    python)
      run_python_leg ;;
    packages)
      echo "== Leg packages"
      if TARNUTIL_JOBS=$jobs bash "$root/scripts/check_packages.sh" "$out/packages"; then
        echo "leg packages: 1 passed, 0 failed"
        total_pass=$((total_pass + 1))
      else
        echo "leg packages: FAILED"
        total_fail=$((total_fail + 1))
        failed_legs+=(packages)
      fi ;;
  esac
done

echo "== Summary"
echo "legs run: ${legs[*]}"
if [ ${#failed_legs[@]} -gt 0 ]; then
  echo "legs failed: ${failed_legs[*]}"
fi
echo "total: $total_pass passed, $total_fail failed"
[ ${#failed_legs[@]} -eq 0 ]
