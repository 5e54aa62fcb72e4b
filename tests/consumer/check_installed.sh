#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds and runs a small
# program against it twice: with find_package and with pkg-config.
set -euo pipefail
build=$1 src=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/cmake-build/consumer"
pcdir=$(dirname "$(find "$work/prefix" -name tarnutil.pc | head -n1)")
export PKG_CONFIG_PATH="$pcdir"
"$cxx" -std=c++17 "$src/main.cpp" $(pkg-config --cflags --libs tarnutil) -o "$work/consumer-pc"
LD_LIBRARY_PATH="$(pkg-config --variable=libdir tarnutil)" "$work/consumer-pc"
echo "installed package works with find_package and pkg-config"
