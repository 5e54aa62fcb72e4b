#!/usr/bin/env bash
# Builds the Debian packages (libtarnutil<N>, libtarnutil-dev, tarnutil-tools)
# as a distribution would, checks them with lintian (any error fails),
# unpacks them into a scratch root and builds the consumer program against
# that root with find_package and with pkg-config; then builds the API
# reference (target docs), whose warnings are errors.
# Never installs the packages on this machine: a later run would find them.
# Usage: scripts/check_packages.sh BUILD_DIR   (run by scripts/check.sh packages)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:?usage: check_packages.sh BUILD_DIR}
jobs=${TARNUTIL_JOBS:-2}
mkdir -p "$dir"

step() { echo "-- $*"; }
fail() { echo "packages: $*"; exit 1; }

# Debian's hardening and optimisation flags, build type None as debhelper
# has it; no RUNPATH, since the library lands in the system's own folder.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
step "configure and build in $dir"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_RPATH=ON -DTARNUTIL_BUILD_TOOLS=ON -DTARNUTIL_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >"$dir.configure.log" 2>&1 \
  || { cat "$dir.configure.log"; fail "configuration failed"; }
cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1 \
  || { tail -n 60 "$dir.build.log"; fail "build failed"; }

# An install rule without a component lands in "Unspecified", which no
# package takes: name the files instead of losing them.
stray=$(mktemp -d)
cmake --install "$dir" --component Unspecified --prefix "$stray" >/dev/null
if [ -n "$(find "$stray" ! -type d | head -n 1)" ]; then
  (cd "$stray" && find . ! -type d)
  rm -rf "$stray"
  fail "files installed without a component (Runtime, Development, Tools, Documentation) are in no package"
fi
rm -rf "$stray"

step "cpack -G DEB"
rm -rf "$dir/packages"
(cd "$dir" && cpack -G DEB) >"$dir.cpack.log" 2>&1 || { cat "$dir.cpack.log"; fail "cpack failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
soname=$(readelf -d "$dir/libtarnutil.so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ "${soname%.*}" = libtarnutil.so ] || fail "unexpected SONAME $soname"
runtime=libtarnutil${soname##*.}
arch=$(dpkg --print-architecture)
debs=()
for p in "$runtime" libtarnutil-dev tarnutil-tools; do
  f=$dir/packages/${p}_${version}-1_${arch}.deb
  [ -f "$f" ] || fail "no package $f (SONAME $soname)"
  debs+=("$f")
  echo "$(basename "$f"): Depends: $(dpkg-deb -f "$f" Depends)"
done
# The development files and the tool must take exactly this build's library.
for p in libtarnutil-dev tarnutil-tools; do
  dpkg-deb -f "$dir/packages/${p}_${version}-1_${arch}.deb" Depends | grep -q "$runtime (= $version-1)" \
    || fail "$p does not depend on $runtime (= $version-1)"
done

step "lintian"
# Root is fine here: lintian only reads the packages.
lintian_rc=0
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" >"$dir.lintian.log" 2>&1 || lintian_rc=$?
grep -v 'running with root privileges' "$dir.lintian.log" || true
[ "$lintian_rc" -eq 0 ] || fail "lintian reports errors (exit $lintian_rc)"

step "unpack into a scratch root and build the consumer against it"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for f in "${debs[@]}"; do dpkg-deb -x "$f" "$scratch"; done
bash "$root/tests/consumer/check_installed.sh" "$dir" "$root/tests/consumer" "${CXX:-c++}" "$version" \
  "$scratch/usr"
libdir=$(dirname "$(find "$scratch/usr/lib" -name "$soname" | head -n 1)")
# The projection's origin maps to (0, 0).
out=$(echo "104 18" | LD_LIBRARY_PATH="$libdir" "$scratch/usr/bin/tarnutil" lcc) \
  || fail "the packaged tool failed"
[ "$out" = "0 0" ] || fail "the packaged tool projects the origin to '$out', not '0 0'"
echo "the packaged tool runs against the packaged library"

step "API reference (target docs)"
cmake --build "$dir" --target docs >"$dir.docs.log" 2>&1 || { cat "$dir.docs.log"; fail "docs failed"; }
echo "API reference in $dir/docs/html/index.html"
echo "packages: ok"
