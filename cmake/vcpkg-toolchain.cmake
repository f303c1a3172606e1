# Toolchain of the maya-windows preset: vcpkg's, which builds the libraries vcpkg.json lists,
# when VCPKG_ROOT names a vcpkg checkout; otherwise the compiler's own, and the libraries are
# found through CMAKE_PREFIX_PATH.
if(NOT "$ENV{VCPKG_ROOT}" STREQUAL "")
  # vcpkg.json pins the registry at a commit; until it names one, nothing would resolve.
  file(READ ${CMAKE_CURRENT_LIST_DIR}/../vcpkg.json mocapManifest)
  string(REGEX MATCH "\"builtin-baseline\"[ \t\r\n]*:[ \t\r\n]*\"([^\"]*)\"" mocapBaseline
         "${mocapManifest}")
  set(mocapBaseline "${CMAKE_MATCH_1}")
  string(LENGTH "${mocapBaseline}" mocapBaselineLength)
  if(NOT mocapBaseline MATCHES "^[0-9a-f]+$" OR NOT mocapBaselineLength EQUAL 40)
    message(FATAL_ERROR "vcpkg.json's builtin-baseline (${mocapBaseline}) is no vcpkg commit: "
                        "set it to the 40-digit commit of the vcpkg registry to build with "
                        "(git -C $ENV{VCPKG_ROOT} rev-parse HEAD in a checkout you trust), or "
                        "unset VCPKG_ROOT and give the libraries' prefix in CMAKE_PREFIX_PATH")
  endif()
  include($ENV{VCPKG_ROOT}/scripts/buildsystems/vcpkg.cmake)
endif()
