# The entry-point names the package checks expect (tools/maya-entry-points.txt) against the module
# built here and the API's namespace:
#   cmake -DSOURCE=<source tree> -DMODULE=<built marvikMocap.so|.mll> -P entryPointNamesTest.cmake
# tools/check-module.sh must pass the module: it exports exactly the listed Itanium names. Each
# listed name, demangled (c++filt for Itanium, llvm-undname for MSVC), must be the function the
# module exports, with its class arguments (and, in MSVC's, the returned MStatus) in the namespace
# that <maya/MApiNamespace.h> opens. No build here decorates as MSVC does, so the MSVC names are
# held to the same declarations through their demangled form.
cmake_minimum_required(VERSION 3.18)
set(errors "")

file(STRINGS ${SOURCE}/tools/maya-entry-points.txt itanium REGEX "^itanium ")
list(TRANSFORM itanium REPLACE "^itanium " "")
file(STRINGS ${SOURCE}/tools/maya-entry-points.txt msvc REGEX "^msvc ")
list(TRANSFORM msvc REPLACE "^msvc " "")
list(LENGTH itanium itaniumCount)
list(LENGTH msvc msvcCount)
if(NOT itaniumCount EQUAL 2 OR NOT msvcCount EQUAL 2)
  message(FATAL_ERROR "maya-entry-points.txt: expected two itanium and two msvc names, got "
                      "${itanium} and ${msvc}")
endif()

# The namespace as the header opens it.
file(READ ${SOURCE}/src/host/include/maya/MApiNamespace.h header)
string(REGEX REPLACE "[ \t]*\\\\\n[ \t]*" " " header "${header}")
if(NOT header MATCHES "#define OPENMAYA_MAJOR_NAMESPACE ([A-Za-z0-9_]+)\n")
  message(FATAL_ERROR "MApiNamespace.h defines no OPENMAYA_MAJOR_NAMESPACE")
endif()
set(major ${CMAKE_MATCH_1})
if(NOT header MATCHES
   "#define OPENMAYA_MAJOR_NAMESPACE_OPEN namespace Autodesk { namespace Maya { namespace ${major} {\n")
  message(FATAL_ERROR "MApiNamespace.h opens another namespace than Autodesk::Maya::${major}")
endif()
set(namespace "Autodesk::Maya::${major}")

execute_process(COMMAND bash ${SOURCE}/tools/check-module.sh ${MODULE} RESULT_VARIABLE status
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  string(APPEND errors "\n  tools/check-module.sh fails the module built here:\n${output}")
endif()

find_program(CXXFILT NAMES c++filt)
find_program(UNDNAME NAMES llvm-undname)
if(NOT UNDNAME)
  # Debian keeps LLVM's tools beside its clang.
  find_program(CLANG NAMES clang clang-14)
  if(CLANG)
    execute_process(COMMAND ${CLANG} -print-prog-name=llvm-undname OUTPUT_VARIABLE UNDNAME
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()
if(NOT CXXFILT OR NOT UNDNAME OR NOT EXISTS "${UNDNAME}")
  message(FATAL_ERROR "needs c++filt (binutils) and llvm-undname (Debian's llvm)")
endif()

foreach(function initializePlugin uninitializePlugin)
  set(itaniumName ${itanium})
  list(FILTER itaniumName INCLUDE REGEX "^_Z[0-9]+${function}")
  execute_process(COMMAND ${CXXFILT} ${itaniumName} OUTPUT_VARIABLE itaniumText
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(want "${function}(${namespace}::MObject)")
  if(NOT itaniumText STREQUAL want)
    string(APPEND errors "\n  ${itaniumName} is \"${itaniumText}\", not \"${want}\"")
  endif()
  set(msvcName ${msvc})
  list(FILTER msvcName INCLUDE REGEX "^\\?${function}@")
  # llvm-undname prints the name given, then its demangled form.
  execute_process(COMMAND ${UNDNAME} ${msvcName} OUTPUT_VARIABLE msvcText)
  string(REPLACE "\n" ";" msvcText "${msvcText}")
  list(GET msvcText 1 msvcText)
  set(want "class ${namespace}::MStatus __cdecl ${function}(class ${namespace}::MObject)")
  if(NOT msvcText STREQUAL want)
    string(APPEND errors "\n  ${msvcName} is \"${msvcText}\", not \"${want}\"")
  endif()
endforeach()

if(errors)
  message(FATAL_ERROR "The entry-point names:${errors}")
endif()
