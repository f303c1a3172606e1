#!/usr/bin/env bash
# Builds and checks the project. With no argument, every step in `steps` runs in order and the
# first failure stops the run (this is what CI does); with a step name, only that step runs.
#   msvc    what can be checked here of the Visual Studio build for Maya, in seconds, nothing
#           built: the presets parse and name the generators, toolsets and triplet; vcpkg.json's
#           baseline, protobuf's zlib feature and port-version; the overlay triplet's toolset;
#           the vcpkg toolchain's refusals of a missing or wrong VCPKG_ROOT; the README and
#           .github/workflows/windows.yml run the same commands; tools/check-windows-package.cmake
#           against a stand-in dumpbin
#   quick   normal build (g++) and the whole suite: the developers' inner loop
#   glibc217 the whole tree built with the toolchain of the Linux module Maya users get (clang 14
#           and libc++ against glibc 2.17, cmake/glibc-2.17.cmake; the glibc217 preset,
#           build-glibc217/), its suite run under that glibc's own loader
#   devkit  the build for Maya (the maya-linux preset: that toolchain, no tests, GoogleTest and
#           Google Benchmark not to be found) against the stand-in devkit the glibc 2.17 build
#           lays out as Maya's (<maya/...> headers only, libraries under Maya's names), checked for
#           its exports, needed libraries and symbol versions, and loaded for one import and one
#           live frame under glibc 2.17's loader and the machine's own
#   package the devkit build zipped into build-package/ as a Maya module, checked and loaded
#           unzipped as in devkit
#   farm    a one-node Slurm cluster on this machine runs the README's job array of
#           `marvik convert --shard` over a generated library (tools/slurm-farm.sh)
#   windows the whole tree cross-built for 64-bit Windows with MinGW-w64 (build-windows/) and
#           its suite run under Wine; the Windows dependencies are built once into a cache; the
#           module linked and zipped as for Maya (build-windows-devkit/), the zip checked
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
# A step is a function named step_<name>; adding one to `steps` puts it in the full run. Builds
# are the presets of CMakePresets.json (build/ is `host`), with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

steps=(msvc quick glibc217 devkit package farm windows asan tsan chaos fuzz format)

jobs=$(nproc)
fuzz_seconds=${MOCAP_FUZZ_SECONDS:-60}
fuzz_targets=(bvhParserFuzz packetPayloadFuzz)

# The module's own protobuf and zlib (static, position-independent), built once into a cache;
# the presets read the prefix from MARVIK_DEPS_LINUX_PIC.
deps_found=0
configure() {
  local preset=$1
  shift
  if [ $deps_found -eq 0 ]; then
    MARVIK_DEPS_LINUX_PIC=$(tools/build-deps.sh linux-pic | tail -n 1)
    export MARVIK_DEPS_LINUX_PIC
    deps_found=1
  fi
  cmake --preset "$preset" -DMOCAP_WERROR=ON "$@" >/dev/null
}

build() {
  local preset=$1
  shift
  cmake --build --preset "$preset" --parallel "$jobs" "$@"
}

build_and_test() {
  configure "$1"
  build "$1"
  ctest --preset "$1" -j "$jobs"
}

step_msvc() {
  local work=$PWD/build-msvc-check
  rm -rf "$work"
  cmake -DSOURCE="$PWD" -DWORK="$work/preset" -DGENERATOR=Ninja -P tests/cmake/windowsPresetTest.cmake
  cmake -DSOURCE="$PWD" -DWORK="$work/package" -P tests/cmake/windowsPackageCheckTest.cmake
  echo "msvc: the presets, vcpkg.json, the triplet, the toolchain, the README and the workflow," \
    "and the package check agree"
}

step_quick() { build_and_test host; }
# The Linux module Maya users get, and the programs that prove it, are built with clang 14 and
# LLVM's C++ runtime against glibc 2.17: the glibc217 and maya-linux presets, which read the
# sysroot and the prefixes from MARVIK_GLIBC217_SYSROOT and MARVIK_DEPS_GLIBC217. CTest runs those
# programs under that glibc's own loader.
glibc217_ready=0
glibc217_prepare() {
  [ $glibc217_ready -eq 0 ] || return 0
  tools/install-deps.sh glibc217
  MARVIK_GLIBC217_SYSROOT=$(tools/build-deps.sh glibc217-sysroot | tail -n 1)
  MARVIK_DEPS_GLIBC217=$(tools/build-deps.sh glibc217 | tail -n 1)
  export MARVIK_GLIBC217_SYSROOT MARVIK_DEPS_GLIBC217
  glibc217_ready=1
}

# A module for Maya: what it shows the loader, then one import and one live frame through it in
# the stand-in devkit's host, under glibc 2.17's loader and under the machine's own.
check_maya_module() {
  local module=$1 program=build-glibc217/tests/install/devkitModuleTest
  tools/check-module.sh --maya --glibc 2.17 "$module"
  echo "$module under glibc 2.17:"
  MARVIK_MODULE=$module LD_LIBRARY_PATH=build-glibc217/devkit/lib \
    tools/glibc217-run.sh "$MARVIK_GLIBC217_SYSROOT" "$program"
  echo "$module under the machine's glibc $(getconf GNU_LIBC_VERSION | awk '{print $2}'):"
  MARVIK_MODULE=$module LD_LIBRARY_PATH=build-glibc217/devkit/lib "$program"
}

step_glibc217() {
  glibc217_prepare
  build_and_test glibc217
}
step_devkit() {
  glibc217_prepare
  configure glibc217
  build glibc217 --target standInDevkit devkitModuleTest
  # What a user builds for Maya: nothing of the tests may be looked for.
  MAYA_LOCATION=$PWD/build-glibc217/devkit configure maya-linux --no-warn-unused-cli \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
  build maya-linux
  check_maya_module build-maya-linux/plug-ins/marvikMocap.so
}
# The zip a Maya user unzips into a folder on MAYA_MODULE_PATH, from the devkit build; checked by
# loading the plug-in unzipped from it.
step_package() {
  if [ ! -f build-maya-linux/plug-ins/marvikMocap.so ] ||
    [ ! -x build-glibc217/tests/install/devkitModuleTest ]; then
    step_devkit
  fi
  glibc217_prepare
  local version name unpacked=build-package/unzipped
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-maya-linux/CMakeCache.txt)
  name=marvikMocap-$version-maya2022-linux
  rm -rf build-package
  cpack --config build-maya-linux/CPackConfig.cmake -B build-package >/dev/null
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
# The README's job array on a Slurm cluster of one node, brought up and stopped by the script.
step_farm() {
  tools/install-deps.sh farm
  configure host
  build host --target marvik
  tools/slurm-farm.sh build/bin/marvik build-farm
}

step_windows() {
  tools/install-deps.sh windows
  MARVIK_DEPS_MINGW64=$(tools/build-deps.sh mingw64 | tail -n 1)
  export MARVIK_DEPS_MINGW64
  configure windows-cross
  build windows-cross
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
  ctest --preset windows-cross -j "$jobs" || status=$?
  [ "$status" -ne 0 ] || windows_tools "$prefix" || status=$?
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ "$status" -eq 0 ] || return "$status"
  # The module linked as for Maya on Windows: against a devkit laid out as Maya's
  # (include/maya, lib/OpenMaya.lib ...), with no tests and no command line as the presets for
  # Maya have it, zipped and the zip checked as the Windows workflow checks Visual Studio's.
  configure windows-cross -B build-windows-devkit -DMAYA_LOCATION="$PWD/build-windows/devkit" \
    -DBUILD_TESTING=OFF -DMOCAP_CLI=OFF
  cmake --build build-windows-devkit --parallel "$jobs" --target marvikMocap
  tools/check-module.sh --maya build-windows-devkit/plug-ins/marvikMocap.mll
  rm -f build-windows-devkit/marvikMocap-*.zip
  cpack --config build-windows-devkit/CPackConfig.cmake -B build-windows-devkit >/dev/null
  cmake -DBUILD=build-windows-devkit -DDUMPBIN=OFF -P tools/check-windows-package.cmake
}
# The Windows tools zip of build-windows, made by cpack into build-package/: exactly the programs,
# the host DLL, the plug-in, and the MinGW runtime DLLs that they need. Unzipped into a folder
# whose name has a blank and letters beyond ASCII, `marvik demo` and `marvik convert` run there
# with no DLL but the zip's and Windows' own, on a sample whose path has them too.
windows_tools() {
  local prefix=$1 version name folder demoLog=build-package/tools-demo.log
  local convertLog=build-package/tools-convert.log
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
  name=marvik-$version-windows-x64
  cpack --config build-windows/CPackConfig.cmake -B build-package >/dev/null
  folder="build-package/marvik tools Łódź"
  rm -rf "$folder" && mkdir -p "$folder"
  (cd "$folder" && cmake -E tar xf "../$name.zip")
  local held expected
  held=$(cd "$folder" && find . -type f | sort)
  expected=$(printf './%s\n' bin/libgcc_s_seh-1.dll bin/libmayaHost.dll bin/libstdc++-6.dll \
    bin/libwinpthread-1.dll bin/marvik-record.exe bin/marvik-serve.exe bin/marvik.exe \
    plug-ins/marvikMocap.mll | sort)
  [ "$held" = "$expected" ] || { echo "tools: $name.zip holds" $held >&2 && return 1; }
  # What the zip's programs and DLLs need, Windows' own DLLs aside, is what the zip holds.
  local needed shipped
  needed=$(for file in "$folder"/bin/* "$folder"/plug-ins/*; do
    x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'
  done | grep -Eiv '^(KERNEL32|msvcrt|SHELL32|WS2_32)\.dll$' | sort -u)
  shipped=$(cd "$folder/bin" && ls -- *.dll | sort)
  [ "$needed" = "$shipped" ] ||
    { echo "tools: the zip's files need" $needed "and it holds" $shipped >&2 && return 1; }

  local mocap="$folder/mocap ż"
  mkdir -p "$mocap" && cp examples/humanoid.bvh "$mocap/walk ł.bvh"
  windowsPath() { WINEPREFIX="$prefix" WINEDEBUG=-all winepath -w "$1"; }
  local marvik=("tools/wine-run.sh" --alone "$prefix" "$folder/bin/marvik.exe")
  "${marvik[@]}" demo --seconds 1 --sample "$(windowsPath "$mocap/walk ł.bvh")" \
    --out "$(windowsPath "$folder/out")" </dev/null >"$demoLog" 2>&1 ||
    { cat "$demoLog" && echo "tools: marvik demo failed" >&2 && return 1; }
  grep -q '^marvik demo: done' "$demoLog" || { cat "$demoLog" && return 1; }
  local scene
  for scene in live.ma "walk ł.ma"; do
    [ "$(head -n 1 "$folder/out/$scene")" = "//Maya ASCII 2022 scene" ] ||
      { cat "$demoLog" && echo "tools: marvik demo wrote no $scene" >&2 && return 1; }
  done
  "${marvik[@]}" convert --out "$(windowsPath "$folder/scenes")" "$(windowsPath "$mocap")" \
    </dev/null >"$convertLog" 2>&1 ||
    { cat "$convertLog" && echo "tools: marvik convert failed" >&2 && return 1; }
  grep -qx '  converted      1' "$convertLog" && [ -f "$folder/scenes/walk ł.ma" ] ||
    { cat "$convertLog" && echo "tools: marvik convert wrote no scene" >&2 && return 1; }
  echo "tools: build-package/$name.zip, its demo and convert run from $folder"
}

# The fuzz targets share the ASan tree (the asan preset): its libraries carry the fuzzer's
# coverage instrumentation, so the fuzz step adds two links rather than a third full build. -O1
# keeps assertions and readable stacks and runs the fuzzers about three times faster than -O0.
step_asan() { build_and_test asan; }
step_tsan() { build_and_test tsan; }

# Each run prints its --seed first, so a failure replays with the same schedule.
chaos_run() {
  local dir=$1
  shift
  cmake --build "$dir" --parallel "$jobs" --target chaosRun
  "$dir"/tests/chaos/chaosRun "$@"
}

step_chaos() {
  configure asan
  chaos_run build-asan --seed 1 --seconds 60
  chaos_run build-asan --seed "$(date -u +%Y%m%d)" --seconds 60
  configure tsan
  TSAN_OPTIONS=halt_on_error=1 chaos_run build-tsan --seed 2 --seconds 60
}

# Not timed tests: figures to compare by eye, on a machine as quiet as can be had.
step_bench() {
  local targets=(bvhParseBench bvhImportBench streamBench pluginBench)
  glibc217_prepare
  configure host
  build host --target "${targets[@]}"
  configure glibc217
  build glibc217 --target "${targets[@]}"
  tools/bench-table.sh build build-glibc217 "$MARVIK_GLIBC217_SYSROOT" "${targets[@]}"
}

step_soak() {
  configure host -B build-release -DCMAKE_BUILD_TYPE=Release
  local seed=()
  [ -z "${MOCAP_SOAK_SEED:-}" ] || seed=(--seed "$MOCAP_SOAK_SEED")
  chaos_run build-release "${seed[@]}" --minutes "${MOCAP_SOAK_MINUTES:-60}"
}

# Runs the targets side by side (one per core), each from its seed folder, for a bounded
# time. New inputs go to a scratch corpus in the build tree, never into the repository.
step_fuzz() {
  configure asan
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
  quick) dir=build && configure host ;;
  asan) dir=build-asan && configure asan ;;
  *) echo "repeat: no suite named $flavour (quick or asan)" >&2 && return 2 ;;
  esac
  cmake --build "$dir" --parallel "$jobs"
  tools/install-deps.sh stress
  stress-ng --cpu "$jobs" --quiet &
  # Stopped however this script ends, a failed run included.
  stress_pid=$!
  trap 'kill "$stress_pid" 2>/dev/null || true' EXIT
  local run failed=0 logs=$dir/repeat
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
