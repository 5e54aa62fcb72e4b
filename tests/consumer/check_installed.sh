#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds and runs a small
# program against it twice: with find_package and with pkg-config. Both must
# report the version the build was configured with. Given a fifth argument,
# uses that prefix as it is (e.g. usr/ of unpacked packages) instead.
set -euo pipefail
build=$1 src=$2 cxx=$3 version=$4 given_prefix=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$given_prefix" ]; then
  prefix=$given_prefix
else
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" >/dev/null
  test -f "$prefix/share/doc/TarnUtil/LICENSE"
fi
cmake -S "$src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DTARNUTIL_EXPECTED_VERSION="$version" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$prefix/lib:$prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/cmake-build/consumer"
pcdir=$(dirname "$(find "$prefix" -name tarnutil.pc | head -n1)")
export PKG_CONFIG_PATH="$pcdir"
pc_version=$(pkg-config --modversion tarnutil)
if [ "$pc_version" != "$version" ]; then
  echo "pkg-config says version $pc_version, the build is $version"
  exit 1
fi
"$cxx" -std=c++17 "$src/main.cpp" $(pkg-config --cflags --libs tarnutil) -o "$work/consumer-pc"
LD_LIBRARY_PATH="$(pkg-config --variable=libdir tarnutil)" "$work/consumer-pc"
echo "installed package $version works with find_package and pkg-config"
