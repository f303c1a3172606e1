#!/usr/bin/env bash
# Fails unless the module exports exactly Maya's plug-in entry points and version symbols:
#   check-exports.sh <marvikMocap.so | marvikMocap.mll>
# Prints the export list it read.
set -euo pipefail
module=$1
expected=$(printf '%s\n' ADSK_PLUGIN_SIGNATURE MApiVersion _Z16initializePlugin7MObject \
  _Z18uninitializePlugin7MObject)

case "$module" in
  *.mll | *.dll)
    # The PE export table: "[   0] +base[   1] 0000 Name" rows after the name pointer table heading.
    exports=$(x86_64-w64-mingw32-objdump -p "$module" |
      sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/{/Table/d;p}' | sed -n 's/^.*\] \([^ ]*\)$/\1/p' | sort)
    ;;
  *)
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
    ;;
esac
echo "$module exports:"
printf '  %s\n' $exports
if [ "$exports" != "$expected" ]; then
  echo "check-exports: expected exactly:" $expected >&2
  exit 1
fi
