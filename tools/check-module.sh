#!/usr/bin/env bash
# Checks what a built module shows the loader:
#   check-module.sh [--maya] [--glibc VERSION] <marvikMocap.so|.mll>
#   always   it exports exactly Maya's plug-in entry points and version symbols;
#   --maya   it needs nothing but Maya's libraries and the C/C++ runtime (a build for Maya);
#   --glibc  (Linux) it loads on that glibc with no C++ runtime of the machine's: no glibc symbol
#            version above VERSION, no GLIBCXX_ or CXXABI_ version, no C++ runtime library
#            (with --maya: no library but Maya's and glibc's own, and libgcc_s), and no symbol
#            it takes from outside names a std:: type, so that no standard-library object
#            crosses the Maya API.
# Prints what it read.
set -euo pipefail
maya=0
glibc=""
while [ $# -gt 1 ]; do
  case "$1" in
    --maya) maya=1 ;;
    --glibc)
      [[ "${2:-}" =~ ^2\.[0-9]+$ ]] ||
        { echo "check-module: --glibc takes a version, e.g. 2.17" >&2 && exit 2; }
      glibc=$2
      shift
      ;;
    *) break ;;
  esac
  shift
done
[ $# -eq 1 ] || {
  echo "usage: $0 [--maya] [--glibc VERSION] <module>" >&2
  exit 2
}
module=$1
# The entry points as GCC and Clang decorate them (MinGW too), and the devkit's data symbols.
expected=$({
  sed -n 's/^itanium //p' "$(dirname "$0")/maya-entry-points.txt"
  printf '%s\n' ADSK_PLUGIN_SIGNATURE MApiVersion
} | LC_ALL=C sort)
mayaLibraries='^lib(OpenMaya|OpenMayaAnim|OpenMayaUI|Foundation)\.so$'

case "$module" in
  *.mll | *.dll)
    [ -z "$glibc" ] || { echo "check-module: --glibc is for a Linux module" >&2 && exit 2; }
    dump=$(x86_64-w64-mingw32-objdump -p "$module")
    # The rows of the PE export table follow the name pointer table's heading.
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/{/Table/d;p}' <<<"$dump" |
      sed -n 's/^.*\] \([^ ]*\)$/\1/p' | LC_ALL=C sort)
    needed=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | sort -u)
    # Windows' own DLLs and the MinGW runtime beside Maya's.
    allowed='^(OpenMaya|OpenMayaAnim|OpenMayaUI|Foundation)\.dll$|^(KERNEL32|msvcrt|WS2_32|USER32|ADVAPI32)\.dll$|^api-ms-win-.*\.dll$|^lib(stdc\+\+-6|gcc_s_seh-1|winpthread-1)\.dll$'
    ;;
  *)
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | LC_ALL=C sort)
    needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
    allowed="$mayaLibraries"'|^lib(c|m|stdc\+\+|gcc_s)\.so\.[0-9]+$|^ld-linux-x86-64\.so\.2$'
    if [ -n "$glibc" ]; then
      # glibc before 2.34 keeps threads, dlopen and clocks in libraries of their own.
      allowed="$mayaLibraries"'|^lib(c|m|pthread|dl|rt|gcc_s)\.so\.[0-9]+$|^ld-linux-x86-64\.so\.2$'
      cxxRuntime=$(grep -E '^lib(stdc\+\+|c\+\+|c\+\+abi|unwind)\.so' <<<"$needed" || true)
      versions=$(objdump -T "$module" | grep -o '\b\(GLIBC\|GLIBCXX\|CXXABI\)_[0-9.]*' | sort -u -V)
      highest=$(grep '^GLIBC_' <<<"$versions" | sed 's/^GLIBC_//' | tail -n 1)
      runtime=$(grep -E '^(GLIBCXX|CXXABI)_' <<<"$versions" || true)
      # Undefined symbols are what the module takes from Maya's libraries and glibc; its own C++
      # runtime is linked in and hidden.
      standard=$(nm -D --undefined-only --demangle "$module" | grep 'std::' || true)
    fi
    ;;
esac
echo "$module exports:"
printf '  %s\n' $exports
echo "$module needs:"
printf '  %s\n' $needed
if [ -n "$glibc" ]; then
  echo "$module needs glibc ${highest:-(none)}; C++ runtime versions:" ${runtime:-none}
fi
if [ "$exports" != "$expected" ]; then
  echo "check-module: expected exports exactly:" $expected >&2
  exit 1
fi
if [ $maya -eq 1 ]; then
  foreign=$(grep -Ev "$allowed" <<<"$needed" || true)
  if [ -n "$foreign" ]; then
    echo "check-module: a module for Maya needs libraries Maya does not have:" $foreign >&2
    exit 1
  fi
fi
if [ -n "$glibc" ]; then
  newest=$(printf '%s\n' "$highest" "$glibc" | sort -V | tail -n 1)
  if [ -z "$highest" ] || [ "$newest" != "$glibc" ]; then
    echo "check-module: the module needs glibc ${highest:-(no version found)}, above $glibc" >&2
    exit 1
  fi
  if [ -n "$runtime$cxxRuntime" ]; then
    echo "check-module: the module needs the machine's C++ runtime:" $runtime $cxxRuntime >&2
    exit 1
  fi
  if [ -n "$standard" ]; then
    echo "check-module: the module takes standard-library types across the Maya API:" >&2
    echo "$standard" >&2
    exit 1
  fi
fi
