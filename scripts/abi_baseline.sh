#!/usr/bin/env bash
# Rewrites the committed ABI baselines (abi/<library architecture>.abi) from
# the library as the gcc and armhf legs build it. Run it on purpose only:
# after merging additions to the interface, so that the baseline holds them,
# or with a new major version, whose SONAME and layouts may change. Commit
# the changed abi/*.abi with the change that caused it.
# Usage: scripts/abi_baseline.sh [gcc] [armhf]   (default: both)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${TARNUTIL_BUILD_ROOT:-$root/build}
jobs=${TARNUTIL_JOBS:-2}
legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(gcc armhf)
. "$root/scripts/packages.sh"
packages=(cmake make g++ abigail-tools)
for leg in "${legs[@]}"; do
  case $leg in
    gcc) ;;
    armhf) packages+=(g++-arm-linux-gnueabihf) ;;
    *) echo "unknown leg: $leg (gcc, armhf)" >&2; exit 2 ;;
  esac
done
ensure_packages "${packages[@]}"
for leg in "${legs[@]}"; do
  # The build type and compiler of the leg's own tree, so that the types
  # read from its debugging information are the ones the check sees.
  case $leg in
    gcc) args=(-DCMAKE_CXX_COMPILER=g++) ;;
    armhf) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/armhf.cmake") ;;
  esac
  dir=$out/abi-$leg
  mkdir -p "$out"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNUTIL_BUILD_TESTS=OFF \
    "${args[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j"$jobs" --target abi_baseline
done
git -C "$root" status --short -- abi
