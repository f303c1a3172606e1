#!/usr/bin/env bash
# The demo from a fresh checkout: installs what is missing, builds the plug-in and the
# command-line tool, then serves the bundled sample, runs a live session through the plug-in
# and imports the sample, writing out/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
MARVIK_DEPS_LINUX_PIC=$(tools/build-deps.sh linux-pic | tail -n 1)
export MARVIK_DEPS_LINUX_PIC
cmake --preset host >/dev/null
cmake --build --preset host --target marvik marvik-serve marvikMocap >/dev/null
exec build/bin/marvik demo "$@"
