#!/usr/bin/env bash
# Builds and checks the project. With no argument, every step in `steps` runs in order and the
# first failure stops the run (this is what CI does); with a step name, only that step runs.
#   quick   normal build (g++) and the whole suite: the developers' inner loop
#   glibc217 the whole tree built with the toolchain of the Linux module Maya users get (clang 14
#           and libc++ against glibc 2.17, cmake/glibc-2.17.cmake; build-glibc217/), its suite
#           run under that glibc's own loader
#   devkit  the module built for Maya with that toolchain and -DMAYA_LOCATION pointing at the
#           stand-in devkit the glibc 2.17 build lays out as Maya's (<maya/...> headers only,
#           libraries under Maya's names), checked for its exports, needed libraries and symbol
#           versions, and loaded for one import and one live frame under glibc 2.17's loader and
#           the machine's own
#   package the devkit build zipped into build-package/ as a Maya module, checked and loaded
#           unzipped as in devkit
#   windows the whole tree cross-built for 64-bit Windows with MinGW-w64 (build-windows/) and
#           its suite run under Wine; the Windows dependencies are built once into a cache
#   asan    the suite built with clang under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan    the suite built with clang under ThreadSanitizer
#   chaos   the chaos run (tests/chaos): the module against a misbehaving server with the
#           artist's actions on the main thread, invariants checked throughout; 60 s with a fixed
#           seed and 60 s with the date's under ASan/UBSan, 60 s under TSan
#   fuzz    each fuzz target under libFuzzer + ASan/UBSan for MOCAP_FUZZ_SECONDS (default 60)
#   format  clang-format over the tracked C++ files
# Not in the full run:
#   soak    the chaos run on a Release build (build-release/) for MOCAP_SOAK_MINUTES (60), with
#           MOCAP_SOAK_SEED or a random seed; judges the resident size too
#   bench   bvhParseBench, bvhImportBench, streamBench and pluginBench of the quick build and of
#           the glibc 2.17 build (on the machine's glibc and under 2.17's loader), side by side
#   repeat N [asan]  the suite of `quick` (or of `asan`) N times in a row while stress-ng keeps
#           both cores busy; prints each failing test with its message, then a summary. For
#           whoever touches waits, clocks or threads: a test that fails once in N is a bug
# A step is a function named step_<name>; adding one to `steps` puts it in the full run.
set -euo pipefail
cd "$(dirname "$0")/.."

steps=(quick glibc217 devkit package windows asan tsan chaos fuzz format)

jobs=$(nproc)
fuzz_seconds=${MOCAP_FUZZ_SECONDS:-60}
fuzz_targets=(bvhParserFuzz packetPayloadFuzz)

# The fuzz targets share the ASan tree: its libraries carry the fuzzer's coverage
# instrumentation, so the fuzz step adds two links rather than a third full build. -O1 keeps
# assertions and readable stacks and runs the fuzzers about three times faster than -O0.
asan_flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_C_FLAGS_DEBUG="-g -O1"
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMOCAP_SANITIZE=address,undefined
  -DMOCAP_FUZZ=ON)
tsan_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  -DMOCAP_SANITIZE=thread)

# The module's own protobuf and zlib (static, position-independent), built once into a cache.
linux_deps=""
configure() {
  local dir=$1
  shift
  [ -n "$linux_deps" ] || linux_deps=$(tools/build-deps.sh linux-pic | tail -n 1)
  cmake -S . -B "$dir" -G Ninja -DMOCAP_WERROR=ON -DMOCAP_DEPS_PREFIXES="$linux_deps" "$@" >/dev/null
}

build_and_test() {
  local dir=$1
  shift
  configure "$dir" "$@"
  cmake --build "$dir" --parallel "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

step_quick() { build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo; }
# The Linux module Maya users get, and the programs that prove it, are built with clang 14 and
# LLVM's C++ runtime against glibc 2.17; CTest runs those programs under that glibc's own loader.
glibc217_sysroot=""
glibc217_deps=""
glibc217_prepare() {
  [ -z "$glibc217_sysroot" ] || return 0
  tools/install-deps.sh glibc217
  glibc217_sysroot=$(tools/build-deps.sh glibc217-sysroot | tail -n 1)
  glibc217_deps=$(tools/build-deps.sh glibc217 | tail -n 1)
}
configure_glibc217() {
  local dir=$1
  shift
  glibc217_prepare
  cmake -S . -B "$dir" -G Ninja -DMOCAP_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/glibc-2.17.cmake" -DMOCAP_SYSROOT="$glibc217_sysroot" \
    -DMOCAP_DEPS_PREFIXES="$glibc217_deps" "$@" >/dev/null
}

# A module for Maya: what it shows the loader, then one import and one live frame through it in
# the stand-in devkit's host, under glibc 2.17's loader and under the machine's own.
check_maya_module() {
  local module=$1 program=build-glibc217/tests/install/devkitModuleTest
  tools/check-module.sh --maya --glibc 2.17 "$module"
  echo "$module under glibc 2.17:"
  MARVIK_MODULE=$module LD_LIBRARY_PATH=build-glibc217/devkit/lib \
    tools/glibc217-run.sh "$glibc217_sysroot" "$program"
  echo "$module under the machine's glibc $(getconf GNU_LIBC_VERSION | awk '{print $2}'):"
  MARVIK_MODULE=$module LD_LIBRARY_PATH=build-glibc217/devkit/lib "$program"
}

step_glibc217() {
  configure_glibc217 build-glibc217 -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build-glibc217 --parallel "$jobs"
  ctest --test-dir build-glibc217 --output-on-failure -j "$jobs" --timeout 300
}
step_devkit() {
  configure_glibc217 build-glibc217 -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build-glibc217 --parallel "$jobs" --target standInDevkit devkitModuleTest
  configure_glibc217 build-devkit -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMAYA_LOCATION="$PWD/build-glibc217/devkit"
  cmake --build build-devkit --parallel "$jobs" --target marvikMocap
  check_maya_module build-devkit/plug-ins/marvikMocap.so
}
# The zip a Maya user unzips into a folder on MAYA_MODULE_PATH, from the devkit build; checked by
# loading the plug-in unzipped from it.
step_package() {
  if [ ! -f build-devkit/plug-ins/marvikMocap.so ] ||
    [ ! -x build-glibc217/tests/install/devkitModuleTest ]; then
    step_devkit
  fi
  glibc217_prepare
  local version name unpacked=build-package/unzipped
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-devkit/CMakeCache.txt)
  name=marvikMocap-$version-maya2022-linux
  rm -rf build-package
  cpack --config build-devkit/CPackConfig.cmake -B build-package >/dev/null
  [ -f "build-package/$name.zip" ] || { echo "package: no build-package/$name.zip" >&2 && return 1; }
  mkdir -p "$unpacked"
  (cd "$unpacked" && cmake -E tar xf "../$name.zip")
  local file
  for file in marvikMocap.mod marvikMocap/plug-ins/linux/marvikMocap.so \
    marvikMocap/scripts/createmocapmenu.mel marvikMocap/scripts/deletemocapmenu.mel; do
    [ -f "$unpacked/$file" ] || { echo "package: $name.zip has no $file" >&2 && return 1; }
  done
  grep -qx "+ PLATFORM:linux MAYAVERSION:2022 marvikMocap $version ./marvikMocap" \
    "$unpacked/marvikMocap.mod" || { echo "package: marvikMocap.mod names no Linux module" >&2 && return 1; }
  check_maya_module "$unpacked/marvikMocap/plug-ins/linux/marvikMocap.so"
  echo "package: build-package/$name.zip"
}
step_windows() {
  tools/install-deps.sh windows
  local prefixes
  prefixes=$(tools/build-deps.sh mingw64 | tail -n 1)
  local cross=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake"
    -DMOCAP_DEPS_PREFIXES="$prefixes")
  configure build-windows "${cross[@]}"
  cmake --build build-windows --parallel "$jobs"
  tools/check-module.sh build-windows/plug-ins/marvikMocap.mll
  # One Wine server and its service processes for the whole suite, started with no pipe of
  # ours: left to itself the server ends a few seconds after each program, and a program that
  # starts just then loses its connection; and services started by a test would hold that test's
  # output pipe open, so CTest would wait on it until the time-out.
  local prefix=$PWD/build-windows/wine status=0
  WINEPREFIX="$prefix" wineserver -w
  WINEPREFIX="$prefix" wineserver -p </dev/null >/dev/null 2>&1
  tools/wine-run.sh "$prefix" build-windows/examples/make-humanoid.exe --check examples/humanoid.bvh \
    </dev/null >/dev/null 2>&1 || true
  ctest --test-dir build-windows --output-on-failure -j "$jobs" --timeout 300 || status=$?
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ "$status" -eq 0 ] || return "$status"
  # The module linked as for Maya on Windows: against a devkit laid out as Maya's
  # (include/maya, lib/OpenMaya.lib ...).
  configure build-windows-devkit "${cross[@]}" -DMAYA_LOCATION="$PWD/build-windows/devkit"
  cmake --build build-windows-devkit --parallel "$jobs" --target marvikMocap
  tools/check-module.sh --maya build-windows-devkit/plug-ins/marvikMocap.mll
}
step_asan() { build_and_test build-asan "${asan_flags[@]}"; }
step_tsan() { build_and_test build-tsan "${tsan_flags[@]}"; }

# Each run prints its --seed first, so a failure replays with the same schedule.
chaos_run() {
  local dir=$1
  shift
  cmake --build "$dir" --parallel "$jobs" --target chaosRun
  "$dir"/tests/chaos/chaosRun "$@"
}

step_chaos() {
  configure build-asan "${asan_flags[@]}"
  chaos_run build-asan --seed 1 --seconds 60
  chaos_run build-asan --seed "$(date -u +%Y%m%d)" --seconds 60
  configure build-tsan "${tsan_flags[@]}"
  TSAN_OPTIONS=halt_on_error=1 chaos_run build-tsan --seed 2 --seconds 60
}

# Not timed tests: figures to compare by eye, on a machine as quiet as can be had.
step_bench() {
  local targets=(bvhParseBench bvhImportBench streamBench pluginBench)
  configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build --parallel "$jobs" --target "${targets[@]}"
  configure_glibc217 build-glibc217 -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build-glibc217 --parallel "$jobs" --target "${targets[@]}"
  tools/bench-table.sh build build-glibc217 "$glibc217_sysroot" "${targets[@]}"
}

step_soak() {
  configure build-release -DCMAKE_BUILD_TYPE=Release
  local seed=()
  [ -z "${MOCAP_SOAK_SEED:-}" ] || seed=(--seed "$MOCAP_SOAK_SEED")
  chaos_run build-release "${seed[@]}" --minutes "${MOCAP_SOAK_MINUTES:-60}"
}

# Runs the targets side by side (one per core), each from its seed folder, for a bounded
# time. New inputs go to a scratch corpus in the build tree, never into the repository.
step_fuzz() {
  configure build-asan "${asan_flags[@]}"
  cmake --build build-asan --parallel "$jobs" --target "${fuzz_targets[@]}"
  local runs=build-asan/fuzz-runs target pids=() failed=0 i
  for target in "${fuzz_targets[@]}"; do
    rm -rf "${runs:?}/$target"
    mkdir -p "$runs/$target/corpus"
    build-asan/fuzz/"$target" -max_total_time="$fuzz_seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$runs/$target/" "$runs/$target/corpus" "fuzz/corpus/$target" \
      >"$runs/$target/log" 2>&1 &
    pids+=($!)
  done
  for i in "${!fuzz_targets[@]}"; do
    target=${fuzz_targets[$i]}
    if wait "${pids[$i]}"; then
      sed -n "s/^stat::\(number_of_executed_units\|average_exec_per_sec\|peak_rss_mb\)/$target \1/p" \
        "$runs/$target/log"
    else
      failed=1
      tail -n 80 "$runs/$target/log"
      echo "$target failed; log: $runs/$target/log" >&2
      grep -h 'Test unit written to' "$runs/$target/log" | sed "s/^/$target: /" >&2 || true
    fi
  done
  return "$failed"
}

step_format() {
  git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror ||
    { echo "format: run clang-format -i on the files named above" >&2 && return 1; }
}

# The suite run again and again on a loaded machine: a test that reads a state too early or
# bounds a time too tightly fails here long before it fails in CI.
step_repeat() {
  local times=$1 flavour=${2:-quick} dir
  case "$flavour" in
  quick) dir=build && configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
  asan) dir=build-asan && configure build-asan "${asan_flags[@]}" ;;
  *) echo "repeat: no suite named $flavour (quick or asan)" >&2 && return 2 ;;
  esac
  cmake --build "$dir" --parallel "$jobs"
  tools/install-deps.sh stress
  stress-ng --cpu "$jobs" --quiet &
  local stress=$! run failed=0 logs=$dir/repeat
  trap 'kill "$stress" 2>/dev/null || true' RETURN
  rm -rf "$logs" && mkdir -p "$logs"
  for ((run = 1; run <= times; run++)); do
    if ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 >"$logs/$run.log" 2>&1; then
      echo "repeat: run $run of $times passed"
      continue
    fi
    failed=$((failed + 1))
    echo "repeat: run $run of $times FAILED (log: $logs/$run.log)"
    # Each failing program's failed tests and their messages, and what CTest says of the rest.
    awk '/^[^ ].*(: Failure|: error:)/ { shown = 6 } shown > 0 { print "    " $0; shown-- }
      /^\[  FAILED  \] [^ ]+\.[^ ]+ \(/ { print "  " $0 }
      /\*\*\*(Timeout|Failed|Exception)/ && !/Passed/ { print "  " $0 }' "$logs/$run.log"
  done
  echo "repeat: $((times - failed)) of $times runs passed under stress-ng --cpu $jobs ($flavour)"
  [ "$failed" -eq 0 ]
}

if [ "${1:-}" = repeat ]; then
  [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] && [ $# -le 3 ] ||
    { echo "usage: $0 repeat N [quick|asan]" >&2 && exit 2; }
  tools/install-deps.sh
  step_repeat "${@:2}"
  exit
fi

if [ $# -gt 1 ] || { [ $# -eq 1 ] && ! declare -F "step_$1" >/dev/null; }; then
  echo "usage: $0 [$(
    IFS='|'
    echo "${steps[*]}"
  )]" >&2
  exit 2
fi

tools/install-deps.sh
run=("$@")
[ $# -eq 0 ] && run=("${steps[@]}")
timings=()
for step in "${run[@]}"; do
  echo "== $step"
  start=$SECONDS
  "step_$step"
  timings+=("$step $((SECONDS - start)) s")
done
printf '== %s\n' "${timings[@]}"
