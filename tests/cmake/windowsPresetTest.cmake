# What can be checked here of the Windows build for Maya, which needs Visual Studio:
#   cmake -DSOURCE=<source tree> -DWORK=<scratch folder> -DGENERATOR=<generator> -P windowsPresetTest.cmake
# The presets parse; maya-windows names Visual Studio 2019 for x64, the devkit from MAYA_LOCATION,
# no tests, the vcpkg toolchain and a Release build; the README and the workflow build through it;
# vcpkg.json parses; the toolchain takes vcpkg only when VCPKG_ROOT is set, and refuses a
# baseline that is no commit.
cmake_policy(VERSION 3.18)
set(errors "")
function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    set(errors "${errors}\n  ${what}: \"${actual}\", expected \"${expected}\"" PARENT_SCOPE)
  endif()
endfunction()

# CMake's own reading, which refuses what the file's version does not have.
execute_process(COMMAND ${CMAKE_COMMAND} --list-presets=all WORKING_DIRECTORY ${SOURCE}
                RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE listing)
if(NOT status EQUAL 0)
  string(APPEND errors "\n  cmake --list-presets=all: ${listing}")
endif()

file(READ ${SOURCE}/CMakePresets.json presets)
# The preset <name> of the array <kind>, as JSON; empty when there is none.
function(find_preset kind name result)
  set(${result} "" PARENT_SCOPE)
  string(JSON count LENGTH "${presets}" ${kind})
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON preset GET "${presets}" ${kind} ${i})
    string(JSON presetName GET "${preset}" name)
    if(presetName STREQUAL name)
      set(${result} "${preset}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
# The value at the path given in the JSON <preset>; "(none)" when it has none.
function(field preset result)
  string(JSON value ERROR_VARIABLE missing GET "${preset}" ${ARGN})
  if(missing)
    set(value "(none)")
  endif()
  set(${result} "${value}" PARENT_SCOPE)
endfunction()

find_preset(configurePresets maya-windows configure)
field("${configure}" generator generator)
expect(generator "${generator}" "Visual Studio 16 2019")
field("${configure}" architecture architecture value)
expect(architecture "${architecture}" x64)
field("${configure}" toolset toolset value)
expect(toolset "${toolset}" v142)
field("${configure}" binaryDir binaryDir)
expect(binaryDir "${binaryDir}" [[${sourceDir}/build-maya-windows]])
field("${configure}" devkit cacheVariables MAYA_LOCATION)
expect(MAYA_LOCATION "${devkit}" [[$env{MAYA_LOCATION}]])
field("${configure}" testing cacheVariables BUILD_TESTING)
expect(BUILD_TESTING "${testing}" OFF)
field("${configure}" toolchain cacheVariables CMAKE_TOOLCHAIN_FILE)
expect(CMAKE_TOOLCHAIN_FILE "${toolchain}" [[${sourceDir}/cmake/vcpkg-toolchain.cmake]])
field("${configure}" triplet cacheVariables VCPKG_TARGET_TRIPLET)
expect(VCPKG_TARGET_TRIPLET "${triplet}" x64-windows-static-md)
find_preset(buildPresets maya-windows build)
field("${build}" configuration configuration)
expect("build preset configuration" "${configuration}" Release)
field("${build}" configurePreset configurePreset)
expect("build preset configurePreset" "${configurePreset}" maya-windows)

# The README's Windows section and the workflow run the same commands.
file(READ ${SOURCE}/README.md readme)
file(READ ${SOURCE}/.github/workflows/windows.yml workflow)
foreach(command
    "cmake --preset maya-windows"
    "cmake --build --preset maya-windows"
    "cpack --config build-maya-windows/CPackConfig.cmake -C Release -B build-package")
  string(FIND "${readme}" "${command}" inReadme)
  string(FIND "${workflow}" "${command}" inWorkflow)
  if(inReadme EQUAL -1)
    string(APPEND errors "\n  README.md does not run: ${command}")
  endif()
  if(inWorkflow EQUAL -1)
    string(APPEND errors "\n  .github/workflows/windows.yml does not run: ${command}")
  endif()
endforeach()

file(READ ${SOURCE}/vcpkg.json manifest)
string(JSON baseline ERROR_VARIABLE invalid GET "${manifest}" builtin-baseline)
if(invalid)
  string(APPEND errors "\n  vcpkg.json: ${invalid}")
endif()

# The toolchain in a scratch tree of its own, with a stand-in vcpkg that only says it was read.
function(configure_with baseline vcpkgRoot result)
  set(tree ${WORK}/${baseline}-${vcpkgRoot})
  file(REMOVE_RECURSE ${tree})
  file(COPY ${SOURCE}/cmake/vcpkg-toolchain.cmake DESTINATION ${tree}/cmake)
  file(WRITE ${tree}/vcpkg.json "{\n  \"builtin-baseline\": \"${baseline}\"\n}\n")
  file(WRITE ${tree}/vcpkg/scripts/buildsystems/vcpkg.cmake "message(STATUS \"vcpkg toolchain read\")\n")
  file(WRITE ${tree}/project/CMakeLists.txt "cmake_minimum_required(VERSION 3.18)\nproject(probe NONE)\n")
  if(vcpkgRoot STREQUAL "set")
    set(environment VCPKG_ROOT=${tree}/vcpkg)
  else()
    set(environment --unset=VCPKG_ROOT)
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${environment}
            ${CMAKE_COMMAND} -S ${tree}/project -B ${tree}/build -G ${GENERATOR}
            -DCMAKE_TOOLCHAIN_FILE=${tree}/cmake/vcpkg-toolchain.cmake
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result} "${status}: ${output}" PARENT_SCOPE)
endfunction()

set(commit 0123456789abcdef0123456789abcdef01234567)
configure_with(${commit} set read)
if(NOT read MATCHES "^0: .*vcpkg toolchain read")
  string(APPEND errors "\n  a commit as baseline, VCPKG_ROOT set: vcpkg not read: ${read}")
endif()
configure_with(${commit} unset skipped)
if(NOT skipped MATCHES "^0: " OR skipped MATCHES "vcpkg toolchain read")
  string(APPEND errors "\n  VCPKG_ROOT unset: vcpkg read or configure failed: ${skipped}")
endif()
foreach(placeholder PLACEHOLDER 0123456789abcdef 0123456789ABCDEF0123456789ABCDEF01234567)
  configure_with(${placeholder} set refused)
  if(refused MATCHES "^0: " OR refused MATCHES "vcpkg toolchain read" OR
     NOT refused MATCHES "builtin-baseline")
    string(APPEND errors "\n  baseline ${placeholder} not refused: ${refused}")
  endif()
endforeach()

if(errors)
  message(FATAL_ERROR "The Windows build for Maya:${errors}")
endif()
