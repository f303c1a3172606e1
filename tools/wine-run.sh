#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine:
#   wine-run.sh [--alone] <prefix folder> <program> ...
# The prefix is private to the build tree and made on first use; the MinGW runtime DLLs
# (libstdc++, libgcc, winpthread) are found through WINEPATH, as they would be beside the program.
# With --alone the program finds no DLL but those beside it and Windows' own, as on a machine
# without MinGW (the unzipped tools).
set -euo pipefail
alone=0
if [ "${1:-}" = --alone ]; then
  alone=1
  shift
fi
export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all
shift
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ $alone -eq 1 ]; then
  unset WINEPATH
else
  runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
  export WINEPATH="$runtime;/usr/x86_64-w64-mingw32/lib${WINEPATH:+;$WINEPATH}"
fi

if [ ! -f "$WINEPREFIX/.initialised" ]; then
  mkdir -p "$WINEPREFIX"
  (
    # Parallel tests may all find the prefix missing: one makes it, the others wait.
    flock 9
    if [ ! -f "$WINEPREFIX/.initialised" ]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      touch "$WINEPREFIX/.initialised"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
