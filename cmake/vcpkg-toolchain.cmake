# Toolchain of the maya-windows presets: vcpkg's, which builds the libraries vcpkg.json lists at
# its builtin-baseline, from the clone VCPKG_ROOT names. Without one the build would go on and fail
# much later on a missing protobuf, so a missing or wrong VCPKG_ROOT stops here and says what to
# set. -DMOCAP_VCPKG=OFF builds without vcpkg, the libraries' prefix given in CMAKE_PREFIX_PATH.
if(DEFINED MOCAP_VCPKG AND NOT MOCAP_VCPKG)
  return()
endif()

# vcpkg.json pins the registry at a commit; until it names one, nothing would resolve.
file(READ ${CMAKE_CURRENT_LIST_DIR}/../vcpkg.json mocapManifest)
string(REGEX MATCH "\"builtin-baseline\"[ \t\r\n]*:[ \t\r\n]*\"([^\"]*)\"" mocapBaseline
       "${mocapManifest}")
set(mocapBaseline "${CMAKE_MATCH_1}")
string(LENGTH "${mocapBaseline}" mocapBaselineLength)
if(NOT mocapBaseline MATCHES "^[0-9a-f]+$" OR NOT mocapBaselineLength EQUAL 40)
  message(FATAL_ERROR "vcpkg.json's builtin-baseline (${mocapBaseline}) is no vcpkg commit: "
                      "set it to the 40-digit commit of the vcpkg registry to build with")
endif()

string(CONCAT mocapVcpkgSteps
    "Clone vcpkg at that commit and set VCPKG_ROOT to the clone, in the source folder:\n"
    "  git clone https://github.com/microsoft/vcpkg vcpkg\n"
    "  git -C vcpkg checkout ${mocapBaseline}\n"
    "  set VCPKG_ROOT=%CD%\\vcpkg          (cmd)\n"
    "  $env:VCPKG_ROOT = \"$PWD\\vcpkg\"     (PowerShell)\n"
    "then configure again in a new build folder (or delete this one's CMakeCache.txt). Or "
    "configure with -DMOCAP_VCPKG=OFF and the libraries' prefix in CMAKE_PREFIX_PATH.")

if("$ENV{VCPKG_ROOT}" STREQUAL "")
  message(FATAL_ERROR "VCPKG_ROOT is not set: this build takes protobuf, zlib and fast_float "
                      "from vcpkg at the builtin-baseline of vcpkg.json (${mocapBaseline}). "
                      "${mocapVcpkgSteps}")
endif()
file(TO_CMAKE_PATH "$ENV{VCPKG_ROOT}" mocapVcpkgRoot)
if(NOT EXISTS ${mocapVcpkgRoot}/scripts/buildsystems/vcpkg.cmake)
  message(FATAL_ERROR "VCPKG_ROOT (${mocapVcpkgRoot}) is no vcpkg: it has no "
                      "scripts/buildsystems/vcpkg.cmake. ${mocapVcpkgSteps}")
endif()
# The versions come from the registry's history at the baseline, which only a git clone holds;
# the vcpkg inside Visual Studio (which its Developer Command Prompt puts in VCPKG_ROOT) is none.
if(NOT EXISTS ${mocapVcpkgRoot}/.git)
  message(FATAL_ERROR "VCPKG_ROOT (${mocapVcpkgRoot}) is not a git clone of vcpkg (Visual "
                      "Studio's own vcpkg, which its Developer Command Prompt sets, is not "
                      "one). ${mocapVcpkgSteps}")
endif()
find_program(MOCAP_GIT NAMES git)
if(MOCAP_GIT)
  execute_process(COMMAND ${MOCAP_GIT} -C ${mocapVcpkgRoot} cat-file -e ${mocapBaseline}^{commit}
                  RESULT_VARIABLE mocapMissing OUTPUT_QUIET ERROR_QUIET)
  if(NOT mocapMissing EQUAL 0)
    message(FATAL_ERROR "VCPKG_ROOT (${mocapVcpkgRoot}) does not hold vcpkg.json's "
                        "builtin-baseline ${mocapBaseline}: the clone is older. Bring it up "
                        "to that commit:\n  git -C \"${mocapVcpkgRoot}\" fetch\n"
                        "  git -C \"${mocapVcpkgRoot}\" checkout ${mocapBaseline}")
  endif()
endif()
include(${mocapVcpkgRoot}/scripts/buildsystems/vcpkg.cmake)
