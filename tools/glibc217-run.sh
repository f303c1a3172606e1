#!/usr/bin/env bash
# Runs a program of the glibc 2.17 build under that glibc's own loader:
#   glibc217-run.sh <sysroot> <program> [arguments...]
# Libraries come from the sysroot and LD_LIBRARY_PATH only, never from the machine's cache, so
# a program or module that needs anything newer fails to start. Programs it starts run on the
# machine's own loader.
set -euo pipefail
sysroot=$1
shift
exec "$sysroot/lib64/ld-linux-x86-64.so.2" --inhibit-cache \
  --library-path "$sysroot/lib64${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$@"
