#!/usr/bin/env bash
# Checks what a built module shows the loader: check-module.sh [--maya] <marvikMocap.so|.mll>
#   always  it exports exactly Maya's plug-in entry points and version symbols;
#   --maya  it needs nothing but Maya's libraries and the C/C++ runtime (a build for Maya).
# Prints what it read.
set -euo pipefail
maya=0
if [ "${1:-}" = --maya ]; then
  maya=1
  shift
fi
[ $# -eq 1 ] || {
  echo "usage: $0 [--maya] <module>" >&2
  exit 2
}
module=$1
expected=$(printf '%s\n' ADSK_PLUGIN_SIGNATURE MApiVersion _Z16initializePlugin7MObject \
  _Z18uninitializePlugin7MObject)

case "$module" in
  *.mll | *.dll)
    dump=$(x86_64-w64-mingw32-objdump -p "$module")
    # The rows of the PE export table follow the name pointer table's heading.
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/{/Table/d;p}' <<<"$dump" |
      sed -n 's/^.*\] \([^ ]*\)$/\1/p' | sort)
    needed=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | sort -u)
    # Windows' own DLLs and the MinGW runtime beside Maya's.
    allowed='^(OpenMaya|OpenMayaAnim|OpenMayaUI|Foundation)\.dll$|^(KERNEL32|msvcrt|WS2_32|USER32|ADVAPI32)\.dll$|^api-ms-win-.*\.dll$|^lib(stdc\+\+-6|gcc_s_seh-1|winpthread-1)\.dll$'
    ;;
  *)
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
    needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
    allowed='^lib(OpenMaya|OpenMayaAnim|OpenMayaUI|Foundation)\.so$|^lib(c|m|stdc\+\+|gcc_s)\.so\.[0-9]+$|^ld-linux-x86-64\.so\.2$'
    ;;
esac
echo "$module exports:"
printf '  %s\n' $exports
echo "$module needs:"
printf '  %s\n' $needed
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
