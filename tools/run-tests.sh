#!/usr/bin/env bash
# Builds and runs the whole test suite. With "asan" or "tsan", the same suite
# under AddressSanitizer+UndefinedBehaviorSanitizer or ThreadSanitizer (clang). With "devkit",
# compiles (without linking) the module's sources configured with -DMAYA_LOCATION pointing at
# the stand-in devkit the host build generates: only <maya/...> headers, no host.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

mode="${1:-default}"

if [ "$mode" = devkit ]; then
  cmake -S . -B build -G Ninja -DMOCAP_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target standInDevkit
  cmake -S . -B build-devkit -G Ninja -DMOCAP_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMAYA_LOCATION="$PWD/build/devkit" >/dev/null
  # Object files only: the stand-in devkit has headers but no Maya libraries to link.
  mapfile -t objects < <(ninja -C build-devkit -t targets all | sed -n 's|^\(src/maya/[^:]*\.o\):.*|\1|p')
  [ ${#objects[@]} -gt 0 ] || { echo "devkit: no module sources found" >&2; exit 1; }
  ninja -C build-devkit "${objects[@]}"
  exit 0
fi

case "$mode" in
  default) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DMOCAP_SANITIZE=address,undefined) ;;
  tsan) dir=build-tsan
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DMOCAP_SANITIZE=thread) ;;
  *) echo "usage: $0 [asan|tsan|devkit]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja -DMOCAP_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
