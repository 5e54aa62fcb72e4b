#!/usr/bin/env bash
# Runs the benchmark suite against the peer libraries and writes the report:
#   1. installs the peers' Debian packages when missing (as root, after
#      apt-get update; without root it prints the apt-get line and stops);
#   2. builds TarnUtil in Release with the benchmarks into build/bench;
#   3. runs every bench/*_bench program with interleaved repetitions, JSON
#      out to build/bench/results/;
#   4. scripts/bench_report.py prints the TarnUtil / peer table and writes it,
#      with the plot, into docs/performance.md and docs/performance.png.
# Usage: scripts/bench.sh [benchmark filter regex]
# Environment: TARNUTIL_BENCH_REPETITIONS (default 5),
#   TARNUTIL_BENCH_MIN_TIME (seconds per repetition, default 0.1),
#   TARNUTIL_BENCH_DIR (default build/bench), TARNUTIL_JOBS (default 2).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${TARNUTIL_BENCH_DIR:-$root/build/bench}
reps=${TARNUTIL_BENCH_REPETITIONS:-5}
min_time=${TARNUTIL_BENCH_MIN_TIME:-0.1}
jobs=${TARNUTIL_JOBS:-2}
filter=${1:-.}

packages=(cmake make g++ pkg-config python3 libbenchmark-dev libproj-dev libgeographiclib-dev
  libgeos-dev libboost-dev libpolyclipping-dev libmimalloc-dev libjemalloc-dev
  python3-matplotlib nlohmann-json3-dev)
. "$root/scripts/packages.sh"
ensure_packages "${packages[@]}"

echo "== Building into $out"
mkdir -p "$out"
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DTARNUTIL_BUILD_BENCH=ON \
  -DTARNUTIL_BUILD_TESTS=OFF >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
grep "Benchmark peers" "$out/configure.log"
cmake --build "$out" -j"$jobs" >"$out/build.log" 2>&1 || { tail -n 60 "$out/build.log"; exit 1; }

# jemalloc keeps its thread data in static TLS; a library opened with dlopen
# gets that only from the loader's reserve, which by default is too small.
export GLIBC_TUNABLES=glibc.rtld.optional_static_tls=65536

results=$out/results
rm -rf "$results"
mkdir -p "$results"
echo "== Load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s)
status=0
for program in "$out"/bin/*_bench; do
  name=$(basename "$program")
  echo "== $name"
  "$program" --benchmark_filter="$filter" \
    --benchmark_repetitions="$reps" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_min_time="$min_time" \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json \
    >"$results/$name.txt" 2>&1 || { echo "$name failed:"; tail -n 20 "$results/$name.txt"; status=1; }
done
echo "== Suite took $(( $(date +%s) - start )) s; load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Debian's matplotlib belongs to the system Python, which another python3
# earlier on the PATH may hide.
py=python3
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c "import matplotlib" 2>/dev/null; then py=$candidate; break; fi
done
"$py" "$root/scripts/bench_report.py" "$results"/*.json \
  --markdown "$root/docs/performance.md" --plot "$root/docs/performance.png" || status=1
exit $status
