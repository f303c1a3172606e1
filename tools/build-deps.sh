#!/usr/bin/env bash
# Builds the libraries that Debian ships for Linux only, from Debian's own source packages, into a
# cache outside the work tree (MARVIK_DEPS_CACHE, default ~/.cache/marvik-deps). A prefix already
# there is reused. Prints the prefix it made or found on its last line.
#   mingw64    protobuf (static), GoogleTest and the fast_float headers for x86_64-w64-mingw32
#   linux-pic  protobuf and zlib as static, position-independent libraries, for a module that
#              carries its own copies (Debian's static ones cannot go into a shared object)
# The protobuf built is always the version of the Linux libprotobuf-dev, whose protoc generates
# the code: a mismatch fails here rather than at link time.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 mingw64|linux-pic" >&2
  exit 2
}
[ $# -eq 1 ] || usage
kind=$1
case "$kind" in mingw64 | linux-pic) ;; *) usage ;; esac

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
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
    -o APT::Sandbox::User=root -q)
  apt-get "${options[@]}" update >/dev/null
  (cd "$into" && apt-get "${options[@]}" source "$package=$version" >/dev/null)
}

# The unpacked source tree of Debian's package at the version given, fetched once.
debianSource() {
  local package=$1 version=$2
  local sources=$cache/src/$package-${version#*:}
  local tree
  tree=$(find "$sources" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -n 1)
  if [ -z "$tree" ] || [ ! -f "$tree/CMakeLists.txt" ]; then
    rm -rf "$sources"
    fetchSource "$package" "$version" "$sources" >&2
    tree=$(find "$sources" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  [ -f "$tree/CMakeLists.txt" ] || {
    echo "build-deps: no CMakeLists.txt in Debian's $package $version source" >&2
    exit 1
  }
  echo "$tree"
}

# Static libprotobuf (with its gzip streams over zlib), no protoc: the Linux one generates.
buildProtobuf() {
  local prefix=$1
  shift
  local source build=$cache/build/$(basename "$prefix")
  source=$(debianSource protobuf "$debianVersion")
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

linuxPic() {
  local zlibDebian
  zlibDebian=$(installedVersion zlib1g-dev)
  # 1:1.2.13.dfsg-1 -> 1.2.13
  local zlibVersion=${zlibDebian#*:}
  zlibVersion=${zlibVersion%%-*}
  zlibVersion=${zlibVersion%.dfsg}
  local prefix=$cache/protobuf-$upstreamVersion-zlib-$zlibVersion-linux-pic
  if [ ! -f "$prefix/lib/libprotobuf.a" ] || [ ! -f "$prefix/lib/libz.a" ]; then
    echo "build-deps: zlib $zlibVersion and protobuf $upstreamVersion (static, PIC) into $prefix" >&2
    local source build=$cache/build/zlib-linux-pic
    source=$(debianSource zlib "$zlibDebian")
    rm -rf "$build" "$prefix"
    mkdir -p "$build" "$prefix/lib" "$prefix/include"
    # zlib's own CMake wants Windows resource files that Debian's repacked source drops: the
    # library is its C files, compiled directly.
    local file
    for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
      inflate inftrees trees uncompr zutil; do
      cc -O2 -fPIC -DHAVE_UNISTD_H -DHAVE_STDARG_H -D_LARGEFILE64_SOURCE=1 -I "$source" \
        -c "$source/$file.c" -o "$build/$file.o"
    done
    ar rcs "$prefix/lib/libz.a" "$build"/*.o
    cp "$source/zlib.h" "$source/zconf.h" "$prefix/include/"
    rm -rf "$build"
    # Keep zlib when protobuf's build clears the prefix.
    local zlibCopy=$cache/build/zlib-pic-copy
    rm -rf "$zlibCopy" && cp -r "$prefix" "$zlibCopy"
    buildProtobuf "$prefix" -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
      -DZLIB_ROOT="$zlibCopy" -DZLIB_USE_STATIC_LIBS=ON >&2
    cp -r "$zlibCopy/." "$prefix/"
    rm -rf "$zlibCopy"
  fi
  echo "$prefix"
}

case "$kind" in
  mingw64) mingw64 ;;
  linux-pic) linuxPic ;;
esac
