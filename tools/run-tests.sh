#!/usr/bin/env bash
# Builds and runs the whole test suite. With "asan" or "tsan", the same suite
# under AddressSanitizer+UndefinedBehaviorSanitizer or ThreadSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

mode="${1:-default}"
case "$mode" in
  default) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DMOCAP_SANITIZE=address,undefined) ;;
  tsan) dir=build-tsan
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DMOCAP_SANITIZE=thread) ;;
  *) echo "usage: $0 [asan|tsan]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja -DMOCAP_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
