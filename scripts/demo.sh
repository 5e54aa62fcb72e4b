#!/usr/bin/env bash
# Builds the library and the tarnutil tool, then draws the demonstration map
# and prints its report and where the picture is.
# Usage: scripts/demo.sh [PICTURE.bmp]   (default: build/demo/tarnutil-demo.bmp)
# Missing Debian packages are installed first (as root); without root the
# script prints the apt-get line to run and stops.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TARNUTIL_BUILD_ROOT:-$root/build}/demo
jobs=${TARNUTIL_JOBS:-2}
picture=${1:-$build/tarnutil-demo.bmp}

packages=(cmake make g++ nlohmann-json3-dev libcli11-dev)
. "$root/scripts/packages.sh"
ensure_packages "${packages[@]}"

echo "== Building the library and the tool in $build"
mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNUTIL_BUILD_TOOLS=ON \
    -DTARNUTIL_BUILD_TESTS=OFF >"$build.configure.log" 2>&1; then
  cat "$build.configure.log"
  exit 1
fi
if ! cmake --build "$build" -j"$jobs" >"$build.build.log" 2>&1; then
  tail -n 60 "$build.build.log"
  exit 1
fi

mkdir -p "$(dirname "$picture")"
echo "== Drawing the map"
"$build/bin/tarnutil" demo --out "$picture"
picture=$(cd "$(dirname "$picture")" && pwd)/$(basename "$picture")
echo
echo "The map is in $picture"
