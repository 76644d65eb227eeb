#!/bin/sh
# The installed package as hosts use it. Builds the library alone (Release, no suites, tools or
# simulators) static and then shared in one build tree, installs each into its own prefix, and
# builds and runs a C host and a C++ host out of tree against each: with find_package(tovalix)
# and with pkg-config (--static for the static library).
# Usage: run.sh SOURCE_DIR WORK_DIR
set -eu
src=$1
work=$2
version=$(sed -n 's/^project(tovalix VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
hosts=$src/tests/packaging
generator=$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
rm -rf "$work/static" "$work/shared" "$work/hosts" "$work/scratch"
mkdir -p "$work/scratch"
# The hosts run on a terminal that was never initialized, in a scratch folder.
export TOVALIX_SETTINGS="$work/scratch/PinPad.ini" TOVALIX_LOG_DIR="$work/scratch"

for kind in static shared; do
  shared=OFF
  [ $kind = shared ] && shared=ON
  cmake -S "$src" -B "$work/library" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
    -DTOVALIX_BUILD_TESTS=OFF -DTOVALIX_BUILD_TOOLS=OFF -DTOVALIX_BUILD_BENCH=OFF \
    -DTOVALIX_SANITIZE=OFF -DTOVALIX_INSTALL=ON -DTOVALIX_BUILD_SHARED=$shared \
    -DCMAKE_INSTALL_PREFIX="$work/$kind" >/dev/null
  cmake --build "$work/library" -j2 >/dev/null
  cmake --install "$work/library" >/dev/null
  prefix=$work/$kind
  libdir=$(dirname "$(find "$prefix" -name tovalix.pc)")/..

  echo "== $kind, find_package"
  cmake -S "$hosts" -B "$work/hosts/$kind" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/hosts/$kind" >/dev/null
  "$work/hosts/$kind/c_host" "$version"
  "$work/hosts/$kind/cxx_host" "$version"

  echo "== $kind, pkg-config"
  static=
  [ $kind = static ] && static=--static
  export PKG_CONFIG_PATH="$libdir/pkgconfig"
  out=$work/hosts/$kind-pc
  mkdir -p "$out"
  # shellcheck disable=SC2046  # the flags are words
  cc -o "$out/c_host" "$hosts/c_host.c" $(pkg-config --cflags --libs $static tovalix)
  # shellcheck disable=SC2046
  c++ -std=c++20 -o "$out/cxx_host" "$hosts/cxx_host.cpp" $(pkg-config --cflags --libs $static tovalix)
  LD_LIBRARY_PATH="$libdir" "$out/c_host" "$version"
  LD_LIBRARY_PATH="$libdir" "$out/cxx_host" "$version"
  if [ $kind = shared ]; then
    # The shared library offers the public API alone.
    if nm -DC --defined-only "$libdir"/libtovalix.so | grep -q 'tovalix::serial::'; then
      echo "libtovalix.so exports internals" >&2
      exit 1
    fi
  fi
done
