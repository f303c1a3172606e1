#!/usr/bin/env bash
# Builds the libraries that Debian ships for Linux only, from Debian's own source packages, into a
# cache outside the work tree (MARVIK_DEPS_CACHE, default ~/.cache/marvik-deps). A prefix already
# there is reused. Prints the prefix it made or found on its last line.
#   mingw64    protobuf (static), GoogleTest and the fast_float headers for x86_64-w64-mingw32
#   linux-pic  protobuf and zlib as static, position-independent libraries, for a module that
#              carries its own copies (Debian's static ones cannot go into a shared object)
#   glibc217-sysroot  the glibc 2.17 sysroot (CentOS 7's) of the npm package
#              @napi-rs/cross-toolchain-x64-target-x86_64, fetched with npm pack, checked against
#              its pinned integrity and unpacked once; prints the sysroot
#   glibc217   for cmake/glibc-2.17.cmake (clang 14 and libc++ against that sysroot): libc++ as
#              a shared library for the programs of that build, protobuf and zlib as for
#              linux-pic, GoogleTest, and the fast_float headers
# The protobuf built is always the version of the Linux libprotobuf-dev, whose protoc generates
# the code: a mismatch fails here rather than at link time.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 mingw64|linux-pic|glibc217-sysroot|glibc217" >&2
  exit 2
}
[ $# -eq 1 ] || usage
kind=$1
case "$kind" in mingw64 | linux-pic | glibc217-sysroot | glibc217) ;; *) usage ;; esac

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

# Header-only: copied so that a cross build sees it without seeing the rest of /usr/include.
fastFloatHeaders() {
  local fastFloat=$cache/fast_float-headers
  if [ ! -f "$fastFloat/include/fast_float/fast_float.h" ]; then
    rm -rf "$fastFloat"
    mkdir -p "$fastFloat/include" "$fastFloat/lib/cmake"
    cp -r /usr/include/fast_float "$fastFloat/include/"
    cp -r /usr/lib/cmake/FastFloat "$fastFloat/lib/cmake/"
  fi
  echo "$fastFloat"
}

mingw64() {
  local toolchain=$PWD/cmake/mingw-w64.cmake
  local protobuf=$cache/protobuf-$upstreamVersion-mingw64
  local gtestVersion
  gtestVersion=$(installedVersion googletest)
  gtestVersion=${gtestVersion%%-*}
  local googletest=$cache/googletest-${gtestVersion:-unknown}-mingw64
  local fastFloat
  fastFloat=$(fastFloatHeaders)
  if [ ! -f "$protobuf/lib/libprotobuf.a" ]; then
    echo "build-deps: protobuf $upstreamVersion for mingw64 into $protobuf" >&2
    buildProtobuf "$protobuf" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >&2
  fi
  if [ ! -f "$googletest/lib/libgtest.a" ]; then
    echo "build-deps: GoogleTest for mingw64 into $googletest" >&2
    buildGoogleTest "$googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -Dgtest_disable_pthreads=OFF >&2
  fi
  echo "$protobuf;$googletest;$fastFloat"
}

zlibDebian=$(installedVersion zlib1g-dev)
# 1:1.2.13.dfsg-1 -> 1.2.13
zlibVersion=${zlibDebian#*:}
zlibVersion=${zlibVersion%%-*}
zlibVersion=${zlibVersion%.dfsg}

# zlib and protobuf over it, static and position-independent, into one prefix:
#   buildZlibAndProtobuf <prefix> <prefixes a cross build searches> <C compiler...> -- <CMake args>
# zlib is compiled by the C compiler command given, protobuf configured with the CMake arguments.
buildZlibAndProtobuf() {
  local prefix=$1 roots=$2
  shift 2
  local compiler=()
  while [ "$1" != -- ]; do
    compiler+=("$1")
    shift
  done
  shift
  local source build=$cache/build/zlib-$(basename "$prefix")
  source=$(debianSource zlib "$zlibDebian")
  rm -rf "$build" "$prefix"
  mkdir -p "$build" "$prefix/lib" "$prefix/include"
  # zlib's own CMake wants Windows resource files that Debian's repacked source drops: the
  # library is its C files, compiled directly.
  local file
  for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
    inflate inftrees trees uncompr zutil; do
    "${compiler[@]}" -O2 -fPIC -DHAVE_UNISTD_H -DHAVE_STDARG_H -D_LARGEFILE64_SOURCE=1 \
      -I "$source" -c "$source/$file.c" -o "$build/$file.o"
  done
  ar rcs "$prefix/lib/libz.a" "$build"/*.o
  cp "$source/zlib.h" "$source/zconf.h" "$prefix/include/"
  rm -rf "$build"
  # Keep zlib when protobuf's build clears the prefix.
  local zlibCopy=$cache/build/zlib-copy-$(basename "$prefix")
  rm -rf "$zlibCopy" && cp -r "$prefix" "$zlibCopy"
  # A cross build finds it only under its roots.
  buildProtobuf "$prefix" -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DZLIB_ROOT="$zlibCopy" \
    -DZLIB_USE_STATIC_LIBS=ON -DMOCAP_DEPS_PREFIXES="${roots:+$roots;}$zlibCopy" "$@"
  cp -r "$zlibCopy/." "$prefix/"
  rm -rf "$zlibCopy"
}

linuxPic() {
  local prefix=$cache/protobuf-$upstreamVersion-zlib-$zlibVersion-linux-pic
  if [ ! -f "$prefix/lib/libprotobuf.a" ] || [ ! -f "$prefix/lib/libz.a" ]; then
    echo "build-deps: zlib $zlibVersion and protobuf $upstreamVersion (static, PIC) into $prefix" >&2
    buildZlibAndProtobuf "$prefix" "" cc -- >&2
  fi
  echo "$prefix"
}

# The npm package that holds the sysroot, and the integrity its registry entry gives.
sysrootPackage=@napi-rs/cross-toolchain-x64-target-x86_64
sysrootVersion=1.0.0
sysrootIntegrity=sha512-lecoghCfoTAX9MLFcIx9/nL9M8xdkZ9n8Pki8qjKUNzjiq1zbECdEbzIZAMMHRtrXxifK9dAyYuh8gSxNbr2og==

glibc217Sysroot() {
  local root=$cache/cross-toolchain-x64-target-x86_64-$sysrootVersion
  if [ ! -f "$root/sysroot/usr/include/gnu/libc-version.h" ] || [ ! -f "$root/.unpacked" ]; then
    command -v npm >/dev/null || {
      echo "build-deps: npm is missing (run tools/install-deps.sh glibc217)" >&2
      exit 1
    }
    local packs=$cache/npm
    local tarball=$packs/napi-rs-cross-toolchain-x64-target-x86_64-$sysrootVersion.tgz
    mkdir -p "$packs"
    if [ ! -f "$tarball" ]; then
      echo "build-deps: fetching $sysrootPackage@$sysrootVersion into $packs" >&2
      (cd "$packs" && npm pack --silent "$sysrootPackage@$sysrootVersion" >/dev/null)
    fi
    # The integrity is base64; sha512sum prints hex.
    local expected actual
    expected=$(printf '%s' "${sysrootIntegrity#sha512-}" | base64 -d | od -An -v -tx1 | tr -d ' \n')
    actual=$(sha512sum "$tarball" | cut -d ' ' -f 1)
    if [ "$actual" != "$expected" ]; then
      rm -f "$tarball"
      echo "build-deps: $sysrootPackage@$sysrootVersion does not match its integrity" \
        "$sysrootIntegrity; removed it" >&2
      exit 1
    fi
    echo "build-deps: unpacking the glibc 2.17 sysroot into $root" >&2
    local unpacking=$root.unpacking
    rm -rf "$unpacking" && mkdir -p "$unpacking"
    tar -xzf "$tarball" -C "$unpacking" package/x86_64-unknown-linux-gnu.tar.xz
    tar -xJf "$unpacking/package/x86_64-unknown-linux-gnu.tar.xz" -C "$unpacking" \
      --strip-components=2 ./x86_64-unknown-linux-gnu/sysroot
    rm -rf "$unpacking/package"
    touch "$unpacking/.unpacked"
    rm -rf "$root" && mv "$unpacking" "$root"
  fi
  echo "$root/sysroot"
}

# One C++ runtime for the programs of the glibc 2.17 build and the libraries they link (the
# stand-in devkit among them), as Maya's programs and libraries share its libstdc++: Debian's
# libc++ archives made into one shared library. Their __cxa_thread_atexit needs glibc 2.18, so it
# stays out: a thread_local with a destructor fails to link rather than to load.
glibc217Runtime() {
  local sysroot=$1
  local llvmVersion
  llvmVersion=$(installedVersion libc++-14-dev)
  llvmVersion=${llvmVersion#*:}
  llvmVersion=${llvmVersion%%-*}
  local prefix=$cache/libc++-$llvmVersion-glibc217
  if [ ! -f "$prefix/lib/libc++.so.1" ]; then
    echo "build-deps: libc++ $llvmVersion as a shared library for glibc 2.17 into $prefix" >&2
    local llvm=/usr/lib/llvm-14/lib build=$cache/build/libc++-glibc217
    rm -rf "$build" "$prefix"
    mkdir -p "$build" "$prefix/lib"
    cp "$llvm/libc++.a" "$build/"
    ar d "$build/libc++.a" cxa_thread_atexit.cpp.o
    # Debian's libc++.a holds libc++abi too.
    clang++-14 --sysroot="$sysroot" -shared -fuse-ld=lld -nostdlib++ --rtlib=compiler-rt \
      -unwindlib=none -Wl,-soname,libc++.so.1 -Wl,-z,defs \
      -Wl,--version-script="$PWD/cmake/glibc-2.17.map" -Wl,--whole-archive "$build/libc++.a" \
      "$llvm/libunwind.a" -Wl,--no-whole-archive -lpthread -ldl -o "$prefix/lib/libc++.so.1"
    rm -rf "$build"
  fi
  echo "$prefix"
}

glibc217() {
  local sysroot runtime
  sysroot=$(glibc217Sysroot)
  runtime=$(glibc217Runtime "$sysroot")
  local cross=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/glibc-2.17.cmake" -DMOCAP_SYSROOT="$sysroot")
  local prefix=$cache/protobuf-$upstreamVersion-zlib-$zlibVersion-glibc217
  local gtestVersion
  gtestVersion=$(installedVersion googletest)
  gtestVersion=${gtestVersion%%-*}
  local googletest=$cache/googletest-${gtestVersion:-unknown}-glibc217
  local fastFloat
  fastFloat=$(fastFloatHeaders)
  if [ ! -f "$prefix/lib/libprotobuf.a" ] || [ ! -f "$prefix/lib/libz.a" ]; then
    echo "build-deps: zlib $zlibVersion and protobuf $upstreamVersion for glibc 2.17" \
      "into $prefix" >&2
    buildZlibAndProtobuf "$prefix" "$runtime" clang-14 --sysroot="$sysroot" -- "${cross[@]}" >&2
  fi
  if [ ! -f "$googletest/lib/libgtest.a" ]; then
    echo "build-deps: GoogleTest for glibc 2.17 into $googletest" >&2
    buildGoogleTest "$googletest" "${cross[@]}" -DMOCAP_DEPS_PREFIXES="$runtime" >&2
  fi
  echo "$runtime;$prefix;$googletest;$fastFloat"
}

case "$kind" in
  mingw64) mingw64 ;;
  linux-pic) linuxPic ;;
  glibc217-sysroot) glibc217Sysroot ;;
  glibc217) glibc217 ;;
esac
