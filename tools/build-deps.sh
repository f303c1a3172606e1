#!/usr/bin/env bash
# Builds the libraries that Debian ships for Linux only, from Debian's own source packages, into a
# cache outside the work tree (MARVIK_DEPS_CACHE, default ~/.cache/marvik-deps). A prefix already
# there is reused. Prints the prefix it made or found on its last line.
#   mingw64    protobuf (static), GoogleTest and the fast_float headers for x86_64-w64-mingw32
# The protobuf built is always the version of the Linux libprotobuf-dev, whose protoc generates
# the code: a mismatch fails here rather than at link time.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 mingw64" >&2
  exit 2
}
[ $# -eq 1 ] || usage
kind=$1
case "$kind" in mingw64) ;; *) usage ;; esac

cache=${MARVIK_DEPS_CACHE:-$HOME/.cache/marvik-deps}
jobs=$(nproc)

installedVersion() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }

debianVersion=$(installedVersion libprotobuf-dev)
[ -n "$debianVersion" ] || {
  echo "build-deps: libprotobuf-dev is not installed (run tools/install-deps.sh)" >&2
  exit 1
}
# 3.21.12-3+deb12u1 -> 3.21.12
upstreamVersion=${debianVersion#*:}
upstreamVersion=${upstreamVersion%%-*}
protocVersion=$(protoc --version | awk '{print $2}')
if [ "$protocVersion" != "$upstreamVersion" ]; then
  echo "build-deps: protoc is $protocVersion but libprotobuf-dev is $upstreamVersion;" \
    "install matching protobuf-compiler and libprotobuf-dev" >&2
  exit 1
fi

# Fetches and unpacks Debian's source package through a private sources list and state folder,
# so the machine's own apt configuration is read, never changed.
fetchSource() {
  local package=$1 version=$2 into=$3
  local apt=$cache/apt
  mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/archives/partial" "$into"
  : >"$apt/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >>"$apt/sources.list"
  fi
  rm -f "$apt/parts/"*
  local part
  for part in /etc/apt/sources.list.d/*.sources; do
    [ -f "$part" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$part" >"$apt/parts/$(basename "$part")"
  done
  for part in /etc/apt/sources.list.d/*.list; do
    [ -f "$part" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$part" >"$apt/parts/$(basename "$part")"
  done
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives" -q)
  apt-get "${options[@]}" update >/dev/null
  (cd "$into" && apt-get "${options[@]}" source "$package=$version" >/dev/null)
}

protobufSource() {
  local sources=$cache/src/protobuf-$debianVersion
  local tree
  tree=$(find "$sources" -mindepth 1 -maxdepth 1 -type d -name 'protobuf-*' 2>/dev/null | head -n 1)
  if [ -z "$tree" ]; then
    rm -rf "$sources"
    fetchSource protobuf "$debianVersion" "$sources" >&2
    tree=$(find "$sources" -mindepth 1 -maxdepth 1 -type d -name 'protobuf-*' | head -n 1)
  fi
  [ -f "$tree/CMakeLists.txt" ] || {
    echo "build-deps: no CMakeLists.txt in Debian's protobuf $debianVersion source" >&2
    exit 1
  }
  echo "$tree"
}

# Static libprotobuf (with its gzip streams over zlib), no protoc: the Linux one generates.
buildProtobuf() {
  local prefix=$1
  shift
  local source build=$cache/build/$(basename "$prefix")
  source=$(protobufSource)
  rm -rf "$build" "$prefix"
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Dprotobuf_BUILD_TESTS=OFF \
    -Dprotobuf_BUILD_PROTOC_BINARIES=OFF -Dprotobuf_BUILD_LIBPROTOC=OFF -Dprotobuf_WITH_ZLIB=ON \
    -Dprotobuf_INSTALL=ON "$@" >/dev/null
  cmake --build "$build" --parallel "$jobs" --target libprotobuf libprotobuf-lite
  cmake --install "$build" >/dev/null
  rm -rf "$build"
}

buildGoogleTest() {
  local prefix=$1
  shift
  local build=$cache/build/$(basename "$prefix")
  rm -rf "$build" "$prefix"
  cmake -S /usr/src/googletest -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON "$@" >/dev/null
  cmake --build "$build" --parallel "$jobs"
  cmake --install "$build" >/dev/null
  rm -rf "$build"
}

mingw64() {
  local toolchain=$PWD/cmake/mingw-w64.cmake
  local protobuf=$cache/protobuf-$upstreamVersion-mingw64
  local gtestVersion
  gtestVersion=$(installedVersion googletest)
  gtestVersion=${gtestVersion%%-*}
  local googletest=$cache/googletest-${gtestVersion:-unknown}-mingw64
  local fastFloat=$cache/fast_float-headers
  if [ ! -f "$protobuf/lib/libprotobuf.a" ]; then
    echo "build-deps: protobuf $upstreamVersion for mingw64 into $protobuf" >&2
    buildProtobuf "$protobuf" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >&2
  fi
  if [ ! -f "$googletest/lib/libgtest.a" ]; then
    echo "build-deps: GoogleTest for mingw64 into $googletest" >&2
    buildGoogleTest "$googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -Dgtest_disable_pthreads=OFF >&2
  fi
  # Header-only: copied so that the cross build sees it without seeing the rest of /usr/include.
  if [ ! -f "$fastFloat/include/fast_float/fast_float.h" ]; then
    rm -rf "$fastFloat"
    mkdir -p "$fastFloat/include" "$fastFloat/lib/cmake"
    cp -r /usr/include/fast_float "$fastFloat/include/"
    cp -r /usr/lib/cmake/FastFloat "$fastFloat/lib/cmake/"
  fi
  echo "$protobuf;$googletest;$fastFloat"
}

"$kind"
