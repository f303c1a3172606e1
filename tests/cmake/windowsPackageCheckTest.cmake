# tools/check-windows-package.cmake against a stand-in dumpbin that prints what Visual Studio's
# prints, and zips laid out right and wrong:
#   cmake -DSOURCE=<source tree> -DWORK=<scratch folder> -P windowsPackageCheckTest.cmake
# A right module passes; each fault Maya would meet (an export too many or too few, entry points
# outside the API's namespace, a protobuf DLL, a debug or static runtime, a v143 link, an x86
# image, an unreadable export row, a zip with an import library, without a script or with another
# module, a module file for another platform) fails with a message that names it.
cmake_minimum_required(VERSION 3.18)
set(errors "")
set(version 2.0.0.116)

set(headers [[
Dump of file marvikMocap.mll

PE signature found

File Type: DLL

FILE HEADER VALUES
            8664 machine (x64)
               7 number of sections
        6703A1B2 time date stamp Mon Oct  7 09:12:50 2024
               0 file pointer to symbol table
               0 number of symbols
              F0 size of optional header
            2022 characteristics
                   Executable
                   Application can handle large (>2GB) addresses
                   DLL

OPTIONAL HEADER VALUES
             20B magic # (PE32+)
           14.29 linker version
           F8C00 size of code
]])
set(exports [[
Dump of file marvikMocap.mll

File Type: DLL

  Section contains the following exports for marvikMocap.mll

    00000000 characteristics
    FFFFFFFF time date stamp
        0.00 version
           1 ordinal base
           4 number of functions
           4 number of names

    ordinal hint RVA      name

          1    0 0013A2C0 ?initializePlugin@@YA?AVMStatus@OpenMaya20220000@Maya@Autodesk@@VMObject@234@@Z
          2    1 0013A5F0 ?uninitializePlugin@@YA?AVMStatus@OpenMaya20220000@Maya@Autodesk@@VMObject@234@@Z
          3    2 001A4010 ADSK_PLUGIN_SIGNATURE
          4    3 001A4000 MApiVersion

  Summary

        B000 .data
       F9000 .text
]])
set(dependents [[
Dump of file marvikMocap.mll

File Type: DLL

  Image has the following dependencies:

    OpenMaya.dll
    OpenMayaAnim.dll
    Foundation.dll
    WS2_32.dll
    KERNEL32.dll
    MSVCP140.dll
    VCRUNTIME140.dll
    VCRUNTIME140_1.dll
    api-ms-win-crt-runtime-l1-1-0.dll
    api-ms-win-crt-heap-l1-1-0.dll

  Summary

        B000 .data
]])

# A build folder as the Visual Studio generator leaves it, its zip made from the files given as
# <path in zip>=<content>, and a dumpbin that prints the texts given.
function(make_build tree headersText exportsText dependentsText)
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree}/source/scripts ${tree}/build/plug-ins/Release ${tree}/zip)
  file(WRITE ${tree}/source/scripts/createmocapmenu.mel "global proc createmocapmenu() {}\n")
  file(WRITE ${tree}/source/scripts/marvikToggleLive.mel "global proc marvikToggleLive() {}\n")
  file(WRITE ${tree}/build/CMakeCache.txt
       "CMAKE_HOME_DIRECTORY:INTERNAL=${tree}/source\n"
       "CMAKE_PROJECT_VERSION:STATIC=${version}\n")
  file(WRITE ${tree}/build/plug-ins/Release/marvikMocap.mll "MZ the module")
  set(entries ${ARGN})
  set(zipped "")
  foreach(entry IN LISTS entries)
    string(FIND "${entry}" "=" at)
    string(SUBSTRING "${entry}" 0 ${at} path)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${entry}" ${at} -1 content)
    file(WRITE ${tree}/zip/${path} "${content}")
    list(APPEND zipped ${path})
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${tree}/build/marvikMocap-${version}-maya2022-win64.zip
                          --format=zip ${zipped}
                  WORKING_DIRECTORY ${tree}/zip)
  file(WRITE ${tree}/headers.txt "${headersText}")
  file(WRITE ${tree}/exports.txt "${exportsText}")
  file(WRITE ${tree}/dependents.txt "${dependentsText}")
  file(WRITE ${tree}/dumpbin.sh
       "#!/bin/sh\n"
       "[ \"$1\" = /nologo ] && [ \"$3\" = '${tree}/build/plug-ins/Release/marvikMocap.mll' ] || exit 2\n"
       "case \"$2\" in\n"
       "  /headers) exec cat '${tree}/headers.txt' ;;\n"
       "  /exports) exec cat '${tree}/exports.txt' ;;\n"
       "  /dependents) exec cat '${tree}/dependents.txt' ;;\n"
       "esac\nexit 2\n")
  execute_process(COMMAND chmod +x ${tree}/dumpbin.sh)
endfunction()

set(mod "+ PLATFORM:win64 MAYAVERSION:2022 marvikMocap ${version} ./marvikMocap
plug-ins: plug-ins/win64
scripts: scripts
")
set(rightZip
    "marvikMocap.mod=${mod}"
    "marvikMocap/plug-ins/win64/marvikMocap.mll=MZ the module"
    "marvikMocap/scripts/createmocapmenu.mel=global proc createmocapmenu() {}\n"
    "marvikMocap/scripts/marvikToggleLive.mel=global proc marvikToggleLive() {}\n")

# Runs the check on a build made of the texts and zip given; the check's output in <result>,
# after its exit status and ": ".
function(check case result headersText exportsText dependentsText)
  set(tree ${WORK}/${case})
  make_build(${tree} "${headersText}" "${exportsText}" "${dependentsText}" ${ARGN})
  # The build folder relative, as the workflow gives it.
  execute_process(COMMAND ${CMAKE_COMMAND} -DBUILD=build -DDUMPBIN=${tree}/dumpbin.sh
                          -P ${SOURCE}/tools/check-windows-package.cmake
                  WORKING_DIRECTORY ${tree}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps its messages' lines.
  string(REGEX REPLACE "[ \t\r\n]+" " " output "${output}")
  set(${result} "${status}: ${output}" PARENT_SCOPE)
endfunction()

# <case> must fail with a message holding <text>.
function(expect_fault case text headersText exportsText dependentsText)
  check(${case} result "${headersText}" "${exportsText}" "${dependentsText}" ${ARGN})
  string(FIND "${result}" "${text}" at)
  if(result MATCHES "^0: " OR at EQUAL -1)
    set(errors "${errors}\n  ${case}: expected a failure naming \"${text}\", got ${result}"
        PARENT_SCOPE)
  endif()
endfunction()

check(right result "${headers}" "${exports}" "${dependents}" ${rightZip})
if(NOT result MATCHES "^0: " OR NOT result MATCHES "are as Maya needs them")
  string(APPEND errors "\n  a right module and zip failed: ${result}")
endif()

# The exports, one too many and one too few.
string(REPLACE "          4    3 001A4000 MApiVersion\n"
               "          4    3 001A4000 MApiVersion\n          5    4 00012000 ?helper@@YAXXZ\n"
               extra "${exports}")
expect_fault(extraExport "?helper@@YAXXZ" "${headers}" "${extra}" "${dependents}" ${rightZip})
string(REPLACE "          4    3 001A4000 MApiVersion\n" "" missing "${exports}")
expect_fault(noApiVersion "expected exactly:" "${headers}" "${missing}" "${dependents}" ${rightZip})
# extern "C" entry points would not be found by Maya.
string(REPLACE "?initializePlugin@@YA?AVMStatus@OpenMaya20220000@Maya@Autodesk@@VMObject@234@@Z" "initializePlugin" plain "${exports}")
expect_fault(cEntryPoint "MApiVersion initializePlugin expected exactly" "${headers}" "${plain}"
             "${dependents}" ${rightZip})
# Entry points declared without the API's namespace (classes at global scope) are not the names
# Maya looks up.
string(REPLACE "@OpenMaya20220000@Maya@Autodesk@@VMObject@234@@Z" "@@VMObject@@@Z" bare
               "${exports}")
expect_fault(noNamespace "?initializePlugin@@YA?AVMStatus@@VMObject@@@Z" "${headers}" "${bare}"
             "${dependents}" ${rightZip})
string(REPLACE "          4    3 001A4000 MApiVersion" "          4      001A4000 MApiVersion"
               unreadable "${exports}")
expect_fault(unreadableRow "an export row this check cannot read" "${headers}" "${unreadable}"
             "${dependents}" ${rightZip})

# The DLLs it needs.
foreach(foreign libprotobuf.dll zlib1.dll MSVCP140D.dll ucrtbased.dll)
  string(REPLACE "    WS2_32.dll\n" "    WS2_32.dll\n    ${foreign}\n" needs "${dependents}")
  expect_fault(needs-${foreign} "DLLs Maya does not have: ${foreign}" "${headers}" "${exports}"
               "${needs}" ${rightZip})
endforeach()
string(REPLACE "    VCRUNTIME140.dll\n" "" static "${dependents}")
expect_fault(staticRuntime "does not need VCRUNTIME140.dll" "${headers}" "${exports}" "${static}"
             ${rightZip})
string(REGEX REPLACE "    OpenMaya[A-Za-z]*\\.dll\n|    Foundation\\.dll\n" "" noMaya "${dependents}")
expect_fault(noMaya "none of Maya's libraries" "${headers}" "${exports}" "${noMaya}" ${rightZip})

# The image.
string(REPLACE "14.29 linker version" "14.38 linker version" v143 "${headers}")
expect_fault(v143 "linker 14.38, not toolset v142's" "${v143}" "${exports}" "${dependents}"
             ${rightZip})
string(REPLACE "8664 machine (x64)" " 14C machine (x86)" x86 "${headers}")
expect_fault(x86 "machine \"x86\", not x64" "${x86}" "${exports}" "${dependents}" ${rightZip})

# The zip.
expect_fault(importLibrary "holds more: lib/marvikMocap.lib" "${headers}" "${exports}"
             "${dependents}" ${rightZip} "lib/marvikMocap.lib=!<arch>")
set(noScript ${rightZip})
list(REMOVE_AT noScript 3)
expect_fault(noScript "lacks: marvikMocap/scripts/marvikToggleLive.mel" "${headers}" "${exports}"
             "${dependents}" ${noScript})
set(otherModule ${rightZip})
list(REMOVE_AT otherModule 1)
list(APPEND otherModule "marvikMocap/plug-ins/win64/marvikMocap.mll=MZ another build")
expect_fault(otherModule "the zip's marvikMocap.mll is not" "${headers}" "${exports}"
             "${dependents}" ${otherModule})
set(linuxMod ${rightZip})
list(REMOVE_AT linuxMod 0)
string(REPLACE "win64" "linux" linux "${mod}")
list(APPEND linuxMod "marvikMocap.mod=${linux}")
expect_fault(linuxMod "names no win64 module of version ${version}" "${headers}" "${exports}"
             "${dependents}" ${linuxMod})

if(errors)
  message(FATAL_ERROR "check-windows-package.cmake:${errors}")
endif()
