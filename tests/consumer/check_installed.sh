#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds and runs a small
# program against it twice: with find_package and with pkg-config. Both must
# report the version the build was configured with.
set -euo pipefail
build=$1 src=$2 cxx=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/share/doc/TarnUtil/LICENSE"
cmake -S "$src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DTARNUTIL_EXPECTED_VERSION="$version" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/cmake-build/consumer"
pcdir=$(dirname "$(find "$work/prefix" -name tarnutil.pc | head -n1)")
export PKG_CONFIG_PATH="$pcdir"
pc_version=$(pkg-config --modversion tarnutil)
if [ "$pc_version" != "$version" ]; then
  echo "pkg-config says version $pc_version, the build is $version"
  exit 1
fi
"$cxx" -std=c++17 "$src/main.cpp" $(pkg-config --cflags --libs tarnutil) -o "$work/consumer-pc"
LD_LIBRARY_PATH="$(pkg-config --variable=libdir tarnutil)" "$work/consumer-pc"
echo "installed package $version works with find_package and pkg-config"
