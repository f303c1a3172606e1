#!/usr/bin/env bash
# The demo from a fresh checkout: installs what is missing, builds the plug-in and the
# command-line tool, then serves the bundled sample, runs a live session through the plug-in
# and imports the sample, writing out/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
deps=$(tools/build-deps.sh linux-pic | tail -n 1)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOCAP_DEPS_PREFIXES="$deps" >/dev/null
cmake --build build --target marvik marvik-serve marvikMocap >/dev/null
exec build/bin/marvik demo "$@"
