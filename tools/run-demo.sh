#!/usr/bin/env bash
# Builds the command-line tool and runs its demo on the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target marvik >/dev/null
exec build/tools/marvik demo "$@"
